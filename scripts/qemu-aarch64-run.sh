#!/bin/sh
# Runs an aarch64 Linux program on this x86-64 machine: qemu-aarch64-static
# from the private arm64 root (scripts/arm64-root.sh, made on first use), with
# the cross compiler's target libraries (/usr/aarch64-linux-gnu, or
# MORLANT_AARCH64_SYSROOT) as the root the program's loader and libraries are
# found in. The test emulator of the linux-arm64 build.
#
#   qemu-aarch64-run.sh program [arguments...]
#
# MORLANT_ARM64_ROOT names the root and skips asking arm64-root.sh; it is
# passed on, so programs the emulated one starts through this script find it.
set -eu
if [ -z "${MORLANT_ARM64_ROOT:-}" ]; then
  MORLANT_ARM64_ROOT=$("$(dirname "$0")/arm64-root.sh" | tail -1)
  export MORLANT_ARM64_ROOT
fi
exec "$MORLANT_ARM64_ROOT/bin/qemu-aarch64-static" -L "${MORLANT_AARCH64_SYSROOT:-/usr/aarch64-linux-gnu}" "$@"
