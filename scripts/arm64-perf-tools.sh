#!/usr/bin/env bash
# Makes the qemu-user TCG plugins that scripts/perf.sh arm64 counts with:
#   DIR/libinsn.so       qemu's own executed-instruction counter (tests/plugin/insn.c)
#   DIR/libinsn_mix.so   the instruction mix by class (perf/arm64/insn_mix.c)
# and prints DIR on its last line:  plugins=$(scripts/arm64-perf-tools.sh | tail -1)
#
# Debian's qemu-user (qemu-aarch64, the dynamic emulator: the static one takes
# no plugins) ships the plugin interface but no plugins and no header. Both
# come from Debian's qemu source package, fetched with a private apt
# configuration (a deb-src list, lists and archive folder of its own; the
# machine's apt sources stay untouched), preferably at the installed
# qemu-user's version; only qemu-plugin.h and insn.c are unpacked.
#
# DIR is ${MORLANT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/morlant}/arm64-perf-KEY,
# KEY a digest of this script and of the mix plugin's source, so a change to
# either builds anew; it is built in a scratch folder and renamed when complete.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
self="$root/scripts/arm64-perf-tools.sh"
mix="$root/perf/arm64/insn_mix.c"
cache=${MORLANT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/morlant}
dir="$cache/arm64-perf-$(cat "$self" "$mix" | sha256sum | cut -c1-12)"

if [ -f "$dir/.complete" ]; then
  echo "$dir"
  exit 0
fi
"$root/scripts/install-deps.sh" arm64-perf >&2
mkdir -p "$cache"
exec 9>"$cache/.arm64-perf.lock"
flock 9
if [ -f "$dir/.complete" ]; then
  echo "$dir"
  exit 0
fi
rm -rf "$cache"/.arm64-perf-tmp.*
work=$(mktemp -d "$cache/.arm64-perf-tmp.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The source package, kept in the shared downloads folder for later builds.
downloads="$cache/downloads"
mkdir -p "$downloads" "$work/apt/lists/partial" "$work/apt/archives/partial"
version=$(dpkg-query -W -f='${source:Version}' qemu-user)
upstream=${version#*:}
upstream=${upstream%-*}
orig=$(ls "$downloads"/qemu_"$upstream".orig.tar.* 2>/dev/null | head -1 || true)
if [ -z "$orig" ]; then
  cat >"$work/apt/sources.list" <<'LIST'
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm-updates main
deb-src http://deb.debian.org/debian-security bookworm-security main
LIST
  opts=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
        -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache::Archives=$work/apt/archives"
        -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root" -qq)
  apt-get "${opts[@]}" update >&2
  mkdir -p "$work/src"
  (cd "$work/src" && { apt-get "${opts[@]}" source --download-only "qemu=$version" ||
                       apt-get "${opts[@]}" source --download-only qemu; }) >&2
  orig=$(ls "$work/src"/qemu_*.orig.tar.* | head -1)
  mv "$orig" "$downloads/"
  orig="$downloads/$(basename "$orig")"
fi
echo "arm64-perf-tools: plugins from $(basename "$orig")" >&2
tar -xf "$orig" -C "$work" --wildcards '*/include/qemu/qemu-plugin.h' '*/tests/plugin/insn.c'
src=$(dirname "$(dirname "$(ls -d "$work"/*/include/qemu)")")

mkdir -p "$work/out"
gcc -O2 -fPIC -shared $(pkg-config --cflags glib-2.0) -I"$src/include/qemu" -o "$work/out/libinsn.so" \
  "$src/tests/plugin/insn.c" $(pkg-config --libs glib-2.0)
gcc -O2 -fPIC -shared -Wall -Wextra -I"$src/include/qemu" -o "$work/out/libinsn_mix.so" "$mix"
touch "$work/out/.complete"
mv "$work/out" "$dir"
echo "$dir"
