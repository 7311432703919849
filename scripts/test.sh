#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test:
#   native         the optimised build, with the long full-length check
#   native-asan    AddressSanitizer and UBSan, portable FFT
#   native-tsan    ThreadSanitizer: the tests of one computation shared by a
#                  team of threads (small sizes)
#   fuzz           the libFuzzer targets of tests/fuzz (clang 14): each replays
#                  its seed corpus, then fuzzes a bounded number of runs
#   windows-x64    the Windows x64 cross build under Wine on a private Xvfb display
#   windows-arm64  the Windows ARM64 cross build (toolchain built from Debian
#                  packages on first use) under Debian's arm64 Wine, emulated
#   linux-arm64    the numeric core and CLI for aarch64 Linux under qemu-aarch64
# Stage names given as arguments run only those stages.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(native native-asan native-tsan fuzz windows-x64 windows-arm64 linux-arm64)
scripts/install-deps.sh core fuzz windows arm64 arm64-linux arm64-root
jobs=$(nproc)

for preset in "${stages[@]}"; do
  echo "== $preset"
  start=$SECONDS
  case "$preset" in
    windows-arm64)
      scripts/arm64-toolchain.sh
      echo "== toolchain ready after $((SECONDS - start)) s"
      ;&
    windows-arm64 | linux-arm64)
      scripts/arm64-root.sh | tail -1
      echo "== arm64 root ready after $((SECONDS - start)) s"
      ;;
  esac
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== built after $((SECONDS - start)) s"
  status=0
  ctest --preset "$preset" -j "$jobs" || status=$?
  case "$preset" in windows-*) scripts/wine-run.sh --stop "build/$preset/wine" ;; esac
  echo "== $preset: $((SECONDS - start)) s"
  [ "$status" -eq 0 ] || exit "$status"
done
