#!/usr/bin/env bash
# Runs a Windows program under Wine with a private WINEPREFIX and a private
# Xvfb display, both kept in the build tree (<build>/wine), so tests never
# touch the user's Wine set-up or screen. The test emulator of the Windows
# cross builds.
#
#   wine-run.sh program.exe [arguments...]
#
# MORLANT_WINE_DPI=144 selects a prefix whose system DPI is 144 (default 96).
# MORLANT_WINE_DESKTOP=WxH runs programs in a prefix whose Wine virtual
# desktop has that size; Wine draws the window frames itself there (for
# screenshots), and every program of that prefix shares the desktop.
# The display and each prefix's wineserver stay up for later runs;
# `wine-run.sh --stop` ends them.
#
#   wine-run.sh --arm64 program.exe [arguments...]
#
# runs a Windows ARM64 program with Debian's arm64 Wine emulated by qemu-user,
# from the private root of scripts/arm64-root.sh (made on first use).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arm64=0
use_arm64() {
  local root
  arm64=1
  root=$("$here/arm64-root.sh" | tail -1)
  export PATH="$root/bin:$PATH"
}
if [ "${1:-}" = --arm64 ]; then
  shift
  use_arm64
fi

find_state_dir() {
  local dir
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ]; do
    if [ -f "$dir/CMakeCache.txt" ]; then echo "$dir/wine"; return; fi
    dir=$(dirname "$dir")
  done
  echo "${TMPDIR:-/tmp}/morlant-wine-$(id -u)"
}

if [ "${1:-}" = --stop ]; then
  state=${2:-$(find_state_dir "$PWD/x")}
  [ -d "$state" ] || exit 0
  state=$(cd "$state" && pwd)  # Wine takes only an absolute WINEPREFIX
  [ -f "$state/arm64" ] && use_arm64
  for prefix in "$state"/prefix-*; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  done
  [ -f "$state/xvfb.pid" ] && kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  rm -f "$state/xvfb.pid" "$state/display"
  exit 0
fi

exe=$1
shift
state=$(find_state_dir "$exe")
dpi=${MORLANT_WINE_DPI:-96}
mkdir -p "$state"
# Remembered for --stop, which must end the emulated Wine's servers.
[ "$arm64" = 0 ] || touch "$state/arm64"

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX="$state/prefix-$dpi${MORLANT_WINE_DESKTOP:+-desktop}"

# One-time set-up under a lock, so parallel tests wait for each other.
exec 9>"$state/lock"
flock 9
if ! { [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; }; then
  rm -f "$state/display"
  Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp -noreset 8>"$state/display.tmp" >/dev/null 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$state/display.tmp" ] && break
    sleep 0.05
  done
  mv "$state/display.tmp" "$state/display"
fi
export DISPLAY=":$(tr -d '[:space:]' <"$state/display")"
if [ ! -f "$WINEPREFIX/.morlant-ready" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  if [ -n "${MORLANT_WINE_DESKTOP:-}" ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$MORLANT_WINE_DESKTOP" /f >/dev/null 2>&1
  fi
  wineserver -w
  touch "$WINEPREFIX/.morlant-ready"
fi
if [ ! -f "$WINEPREFIX/.morlant-unmanaged" ]; then
  # No window manager runs on the private display, and Wine waits up to 2 s
  # for each hidden managed window to be withdrawn; with unmanaged windows
  # hiding (a closed dialog, a destroyed window) is immediate.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  touch "$WINEPREFIX/.morlant-unmanaged"
fi
flock -u 9
exec 9>&-

# Keep the wineserver alive between test programs: start-up is the slow part.
wineserver -p </dev/null >/dev/null 2>&1 || true

# Wine's own background processes (started with the first program of a
# server's life) inherit that program's output handles and outlive it. So the
# program writes into files, not into the caller's pipes, which would then
# never close; the files are passed on when it ends.
out=$(mktemp "$state/out.XXXXXX")
err=$(mktemp "$state/err.XXXXXX")
trap 'rm -f "$out" "$err"' EXIT
# A client that loses its wineserver connection while starting ("wine client
# error", seen now and then with the emulated ARM64 Wine when tests start in
# parallel) has not run the program: it wrote nothing. Nor has a start that
# fails without a word on either stream (seen once: the first program of a
# fresh x64 prefix, exit 1). Such a start is tried again, up to three times;
# any other failure is the program's own.
rc=0
for attempt in 1 2 3; do
  rc=0
  wine "$exe" "$@" </dev/null >"$out" 2>"$err" || rc=$?
  if [ "$rc" -eq 0 ] || [ -s "$out" ]; then break; fi
  if [ -s "$err" ] && ! grep -q 'wine client error' "$err"; then break; fi
  echo "wine-run.sh: start $attempt ended with $rc and wrote nothing; trying again" >&2
  wineserver -p </dev/null >/dev/null 2>&1 || true
  sleep 1
done
cat "$out"
cat "$err" >&2
exit "$rc"
