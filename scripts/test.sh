#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test: the
# optimised native build and the AddressSanitizer/UBSan build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh core
jobs=$(nproc)
for preset in native native-asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
