#!/usr/bin/env bash
# Builds both Windows targets from this checkout and writes the downloads:
#   dist/Morlant-<version>-windows-x64.zip
#   dist/Morlant-<version>-windows-arm64.zip
#   dist/Morlant-<version>-SHA256SUMS.txt
# Each zip holds one folder Morlant-<version>-windows-<arch>/ with
# Morlant.exe, morlant-cli.exe, README.txt, LICENSE.txt and
# THIRD-PARTY-NOTICES.txt (the licences of what is linked into the two
# executables).
#
# Reproducible: the same commit gives byte-identical zips in any folder at
# any time. The executables are linked without a time stamp or symbols and compiled
# with the checkout's and the build folder's paths mapped to fixed names;
# the archives carry fixed dates, modes and order (scripts/package_zip.py).
#
#   scripts/package.sh
# Environment: MORLANT_PACKAGE_BUILD, the build folder (default
# build/package); MORLANT_PACKAGE_DIST, the output folder (default dist).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_root=${MORLANT_PACKAGE_BUILD:-build/package}
dist=${MORLANT_PACKAGE_DIST:-dist}
version=$(sed -n 's/^project(Morlant VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }

scripts/install-deps.sh core windows arm64
jobs=$(nproc)
[ "$jobs" -le 2 ] || jobs=2
mkdir -p "$build_root" "$dist"
build_root=$(cd "$build_root" && pwd)
dist=$(cd "$dist" && pwd)
stage=$(mktemp -d "${TMPDIR:-/tmp}/morlant-package.XXXXXX")
trap 'rm -rf "$stage"' EXIT

# Notices per target: the mingw-w64 runtime in both; GCC's C++ runtime and
# libgcc in the x64 build, the LLVM runtimes in the ARM64 build.
notices() {
  local arch=$1
  printf 'Third-party software linked into Morlant.exe and morlant-cli.exe (Windows %s)\n\n' "$arch"
  cat res/notices/mingw-w64.txt
  printf '\n\n'
  case "$arch" in
    x64) cat res/notices/gcc-runtime.txt ;;
    arm64) cat res/notices/llvm-runtimes.txt ;;
  esac
}

# Plain text for Windows: CR LF line ends.
crlf() { sed 's/$/\r/' "$@"; }

for arch in x64 arm64; do
  echo "== windows-$arch"
  [ "$arch" = arm64 ] && scripts/arm64-toolchain.sh >/dev/null
  build=$build_root/windows-$arch
  rm -rf "$build"
  # CMake starts its flags from these variables in a new build folder, in
  # front of the toolchain's own (the static runtime stays).
  map="-ffile-prefix-map=$root=/morlant -ffile-prefix-map=$build=/morlant-build"
  CFLAGS="$map" CXXFLAGS="$map" LDFLAGS="-Wl,--no-insert-timestamp -s" \
    cmake --preset "windows-$arch" -B "$build" -DMORLANT_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$jobs" --target Morlant morlant-cli

  name=Morlant-$version-windows-$arch
  case "$arch" in x64) arch_name=x64 ;; arm64) arch_name=ARM64 ;; esac
  sed "s/@VERSION@/$version/g; s/@ARCH@/$arch/g; s/@ARCH_NAME@/$arch_name/g" res/package-readme.txt | crlf >"$stage/README-$arch.txt"
  crlf LICENSE >"$stage/LICENSE.txt"
  notices "$arch" | crlf >"$stage/NOTICES-$arch.txt"
  rm -f "$dist/$name.zip"
  python3 scripts/package_zip.py "$dist/$name.zip" "$name" \
    "Morlant.exe=$build/app/Morlant.exe" "morlant-cli.exe=$build/cli/morlant-cli.exe" \
    "README.txt=$stage/README-$arch.txt" "LICENSE.txt=$stage/LICENSE.txt" \
    "THIRD-PARTY-NOTICES.txt=$stage/NOTICES-$arch.txt"
done

(cd "$dist" && sha256sum "Morlant-$version-windows-arm64.zip" "Morlant-$version-windows-x64.zip" \
  >"Morlant-$version-SHA256SUMS.txt")
echo "== written to $dist:"
cat "$dist/Morlant-$version-SHA256SUMS.txt"
