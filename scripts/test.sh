#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: the optimised native
# build (with the long full-length check), the AddressSanitizer/UBSan build,
# and the Windows x64 cross build under Wine on a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh core windows
jobs=$(nproc)
for preset in native native-asan windows-x64; do
  echo "== $preset"
  start=$SECONDS
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  status=0
  ctest --preset "$preset" -j "$jobs" || status=$?
  [ "$preset" = windows-x64 ] && scripts/wine-run.sh --stop "build/$preset/wine"
  echo "== $preset: $((SECONDS - start)) s"
  [ "$status" -eq 0 ] || exit "$status"
done
