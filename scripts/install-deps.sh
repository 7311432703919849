#!/usr/bin/env bash
# Installs what building and testing Morlant needs on Debian 12, if missing.
# Usage: scripts/install-deps.sh [core|perf|fuzz|windows|arm64|arm64-linux|arm64-root|arm64-perf]...   (default: core)
#   fuzz         the libFuzzer targets (tests/fuzz): clang 14 and its libFuzzer and
#                sanitizer runtimes, Wine's Winelib headers for the Windows probe's types
#   arm64        the tools the Windows ARM64 cross toolchain is built with
#   arm64-linux  the aarch64 Linux cross compiler
#   arm64-root   what scripts/arm64-root.sh and its emulated Wine need on the host
#   arm64-perf   the ARM64 speed estimate (scripts/perf.sh arm64): qemu-user with plugin
#                support, glib for building its plugins, llvm-mca 19, clang 14
set -euo pipefail

core=(cmake ninja-build g++ pkg-config libgtest-dev libgmp-dev libmpfr-dev nlohmann-json3-dev)
perf=(libbenchmark-dev libfftw3-dev libmpfr-dev)
fuzz=(clang-14 libclang-rt-14-dev libwine-dev libgmp-dev cmake ninja-build)
windows=(googletest g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
         wine wine64 xvfb xauth x11-utils xdotool imagemagick python3)
arm64=(clang-14 lld-14 llvm-14 libclang-common-14-dev cmake ninja-build make bzip2 xz-utils file dpkg-dev python3 ca-certificates)
arm64_linux=(g++-aarch64-linux-gnu googletest nlohmann-json3-dev)
arm64_root=(debian-archive-keyring xvfb)
arm64_perf=(qemu-user llvm-19 libglib2.0-dev pkg-config gcc clang-14 binutils python3 xz-utils ca-certificates)

want=()
for group in "${@:-core}"; do
  case "$group" in
    core) want+=("${core[@]}") ;;
    perf) want+=("${perf[@]}") ;;
    fuzz) want+=("${fuzz[@]}") ;;
    windows) want+=("${windows[@]}") ;;
    arm64) want+=("${arm64[@]}") ;;
    arm64-linux) want+=("${arm64_linux[@]}") ;;
    arm64-root) want+=("${arm64_root[@]}") ;;
    arm64-perf) want+=("${arm64_perf[@]}") ;;
    *) echo "unknown package group: $group" >&2; exit 2 ;;
  esac
done

missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
