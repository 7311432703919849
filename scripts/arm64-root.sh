#!/usr/bin/env bash
# Sets up a private arm64 Debian root for running aarch64 programs on an
# x86-64 host, without touching the system's apt state or dpkg architectures
# and without binfmt_misc:
#   ROOT/bin/qemu-aarch64-static   the user-mode emulator (unpacked, not installed)
#   ROOT/bin/wine, wine64          Debian's arm64 Wine through the emulator
#   ROOT/bin/wineserver, wineboot
#   ROOT/usr/include, ROOT/usr/lib/aarch64-linux-gnu
#                                  arm64 GMP and MPFR (headers, static and shared libraries)
# and prints ROOT on its last line:  root=$(scripts/arm64-root.sh | tail -1)
#
# With PATH=ROOT/bin:$PATH, a private WINEPREFIX and an X display, `wineboot -i`,
# `wine program.exe` and `wineserver -k` work as with a native Wine, Z: being
# the host's / as usual. Aarch64 Linux programs run with
#   ROOT/bin/qemu-aarch64-static -L SYSROOT program
# where SYSROOT holds their loader and libraries (/usr/aarch64-linux-gnu).
#
# The root lives in ${MORLANT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/morlant},
# named after a digest of this script, so a changed script builds a new one and
# later runs reuse it at once. It is built in a temporary folder and renamed
# when complete: an interrupted run leaves nothing half-made behind.
set -euo pipefail

start=$SECONDS
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self="$here/$(basename "${BASH_SOURCE[0]}")"
cache=${MORLANT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/morlant}
root="$cache/arm64-root-$(sha256sum "$self" | cut -c1-12)"

# Debian bookworm's arm64 packages unpacked into the root, with their
# dependencies. Besides Wine's own dependencies: the X extension libraries its
# display driver loads at run time, and its fonts.
packages=(wine64 libwine fonts-wine
          libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1
          libgmp-dev libmpfr-dev)

# Made already: this is the path emulator wrappers take on every call.
if [ -f "$root/.complete" ]; then
  echo "$root"
  exit 0
fi

# Host tools for making the root and for using its Wine (an X server).
"$here/install-deps.sh" arm64-root >&2
mkdir -p "$cache"
# One builder at a time; a second caller waits and then finds the root made.
exec 9>"$cache/.arm64-root.lock"
flock 9
if [ -f "$root/.complete" ]; then
  echo "$root"
  exit 0
fi
# Leftovers of interrupted runs (none can be running: we hold the lock).
rm -rf "$cache"/.arm64-root-tmp.*
tmp=$(mktemp -d "$cache/.arm64-root-tmp.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# The emulator: the amd64 qemu-user-static package, unpacked only (installing
# it would register binfmt handlers). apt-get download reads the system's
# package lists, refreshed once if they do not know the package.
mkdir -p "$tmp/qemu" "$tmp/root/bin"
if ! (cd "$tmp/qemu" && apt-get download -qq -o APT::Sandbox::User="$(id -un)" qemu-user-static) >&2; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq >&2
  (cd "$tmp/qemu" && apt-get download -qq -o APT::Sandbox::User="$(id -un)" qemu-user-static) >&2
fi
dpkg-deb -x "$tmp/qemu"/qemu-user-static_*.deb "$tmp/qemu/x"
cp "$tmp/qemu/x/usr/bin/qemu-aarch64-static" "$tmp/root/bin/"

# A private apt for arm64: its own configuration, sources, lists, archive
# cache and an empty package status, so every dependency is downloaded and
# nothing of the system's apt set-up is read or written.
apt="$tmp/apt"
mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/parts" "$apt/preferences.d"
: >"$apt/status"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
cat >"$apt/sources.list" <<EOF
deb [arch=arm64 signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb [arch=arm64 signed-by=$keyring] http://deb.debian.org/debian bookworm-updates main
deb [arch=arm64 signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
EOF
cat >"$apt/apt.conf" <<EOF
APT::Architecture "arm64";
APT::Architectures { "arm64"; };
APT::Install-Recommends "false";
APT::Sandbox::User "$(id -un)";
Acquire::Languages "none";
Dir::Etc::main "$apt/none";
Dir::Etc::parts "$apt/parts";
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/parts";
Dir::Etc::Preferences "$apt/none";
Dir::Etc::PreferencesParts "$apt/preferences.d";
Dir::State "$apt";
Dir::State::Lists "$apt/lists";
Dir::State::status "$apt/status";
Dir::Cache "$apt";
Dir::Cache::Archives "$apt/archives";
Dir::Log "$apt";
Debug::NoLocking "true";
EOF
export APT_CONFIG="$apt/apt.conf"
apt-get update -qq >&2
apt-get install -qq -y --download-only "${packages[@]}" >/dev/null
unset APT_CONFIG
debs=("$apt/archives"/*.deb)
echo "arm64-root: unpacking ${#debs[@]} packages" >&2
printf '%s\0' "${debs[@]}" | xargs -0 -P 2 -I{} dpkg-deb -x {} "$tmp/root"

# Trampolines. Wine starts every new process, and its server, by executing
# wine64 and wineserver in /usr/lib/wine beside its libraries' directory; here
# those are scripts that hand the real programs back to the emulator. The
# emulator runs the root's dynamic loader (a copy beside Wine's programs: Wine
# finds its libraries from the path of the executable it runs as) with the
# root's library directories, rather than taking the root as its `-L` prefix:
# with `-L` every absolute path, "/" too, would resolve inside the root, and
# Wine's Z: drive would not reach the host's files. WINELOADERNOEXEC keeps the
# loader from re-executing itself through the preloader, which cannot work
# under the emulator. The scripts find the root from their own location.
wine_dir="$tmp/root/usr/lib/wine"
cp "$tmp/root/lib/aarch64-linux-gnu/ld-linux-aarch64.so.1" "$wine_dir/"
mv "$wine_dir/wine64" "$wine_dir/wine64-arm64"
rm -f "$wine_dir/wineserver"
trampoline() {  # name, real program, fixed arguments
  cat <<EOF
#!/bin/sh
root=\$(cd "\$(dirname "\$0")/../../.." && pwd)
export WINELOADERNOEXEC=1
lib=\$root/lib/aarch64-linux-gnu:\$root/usr/lib/aarch64-linux-gnu:\$root/usr/lib/aarch64-linux-gnu/pulseaudio
exec "\$root/bin/qemu-aarch64-static" "\$root/usr/lib/wine/ld-linux-aarch64.so.1" --library-path "\$lib" \\
  --argv0 "\$root/usr/lib/wine/$1" "\$root/usr/lib/wine/$2" $3 "\$@"
EOF
}
trampoline wine64 wine64-arm64 "" >"$wine_dir/wine64"
# As in Debian's own wineserver script: the server ends with its last client
# unless a later -p says otherwise.
trampoline wineserver wineserver64 -p0 >"$wine_dir/wineserver"
for name in wine wine64; do
  printf '#!/bin/sh\nexec "$(dirname "$0")/../usr/lib/wine/wine64" "$@"\n' >"$tmp/root/bin/$name"
done
printf '#!/bin/sh\nexec "$(dirname "$0")/../usr/lib/wine/wineserver" "$@"\n' >"$tmp/root/bin/wineserver"
printf '#!/bin/sh\nexec "$(dirname "$0")/wine" wineboot.exe "$@"\n' >"$tmp/root/bin/wineboot"
chmod 755 "$wine_dir/wine64" "$wine_dir/wineserver" "$tmp/root/bin"/*

touch "$tmp/root/.complete"
mv "$tmp/root" "$root"
echo "arm64-root: ready in $((SECONDS - start)) s" >&2
echo "$root"
