#!/usr/bin/env bash
# The aarch64 Linux stage: installs what it needs, makes the private arm64
# root (qemu, GMP and MPFR for arm64), then configures, builds and tests the
# linux-arm64 preset, its tests running under qemu-aarch64.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh core arm64-linux
start=$SECONDS
echo "== linux-arm64"
scripts/arm64-root.sh >/dev/null
jobs=$(nproc)
cmake --preset linux-arm64 >/dev/null
cmake --build --preset linux-arm64 -j "$jobs"
status=0
ctest --preset linux-arm64 -j "$jobs" || status=$?
echo "== linux-arm64: $((SECONDS - start)) s"
exit "$status"
