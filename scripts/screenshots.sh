#!/usr/bin/env bash
# Screenshots of the real Morlant.exe under Wine, at 96 and 144 DPI: idle,
# while a benchmark runs (between 30 and 70 %), after it has finished, and
# with the About dialog open. Runs one full benchmark per DPI (a few minutes
# in all).
#   scripts/screenshots.sh [output directory, default build/screenshots]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
mkdir -p "$out"

scripts/install-deps.sh core windows
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 -j "$(nproc)" --target Morlant morlant-ui-driver
exe=build/windows-x64/app/Morlant.exe
driver=build/windows-x64/tests/tools/morlant-ui-driver.exe
export MORLANT_WINE_DESKTOP=1024x900

shot() {  # name, rectangle "x y w h"
  local x y w h
  read -r x y w h <<<"$2"
  import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$1.png"
  echo "$out/$1.png"
}

# A display left by the tests, with their prefixes' servers, kept the
# desktop's window from being activated (the clicks on START went nowhere):
# the pictures start on a display and servers of their own.
scripts/wine-run.sh --stop build/windows-x64/wine
status=0
for dpi in 96 144; do
  export MORLANT_WINE_DPI=$dpi
  scripts/wine-run.sh "$exe" &
  app=$!
  scripts/wine-run.sh "$driver" wait-window 60
  DISPLAY=":$(tr -d '[:space:]' <build/windows-x64/wine/display)"
  export DISPLAY
  sleep 2
  rect=$(scripts/wine-run.sh "$driver" rect | tr -d '\r')
  shot "idle-$dpi" "$rect"
  # The first click can be taken by the desktop's own start-up: try again.
  for _ in 1 2 3; do scripts/wine-run.sh "$driver" click-start && break; sleep 2; done
  # Mid-run whatever the machine's speed: once START reads 30 % or more
  # ("Running, 37 %"), and said when the ring had passed 70 % by the shot.
  if scripts/wine-run.sh "$driver" wait-progress 30 >/dev/null; then
    sleep 0.3  # the ring repaints just after its text changes
    shot "running-$dpi" "$rect"
    percent=$(scripts/wine-run.sh "$driver" progress | tr -d '\r') || true
    [ "${percent:--1}" -ge 0 ] && [ "$percent" -le 70 ] ||
      echo "screenshots.sh: running-$dpi shows the ring past 70 % (after the shot: ${percent:-?} %)" >&2
  else
    echo "screenshots.sh: no run reached 30 % (not started, or ended first): no running-$dpi picture" >&2
    status=1
  fi
  scripts/wine-run.sh "$driver" wait-result 900
  sleep 1
  shot "finished-$dpi" "$rect"
  scripts/wine-run.sh "$driver" open-about 10 && sleep 1
  sleep 1
  shot "about-$dpi" "$(scripts/wine-run.sh "$driver" about-rect | tr -d '\r')"
  shot "about-over-window-$dpi" "$rect"
  scripts/wine-run.sh --stop build/windows-x64/wine
  wait "$app" 2>/dev/null || true
done
exit "$status"
