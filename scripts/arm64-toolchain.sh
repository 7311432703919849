#!/usr/bin/env bash
# Builds the Windows ARM64 cross toolchain from Debian packages: the
# distribution's clang 14, lld and llvm tools, plus, compiled here from Debian
# source packages, the mingw-w64 headers and UCRT runtime for aarch64, the
# compiler-rt builtins and static libunwind, libc++abi and libc++.
#
#   arm64-toolchain.sh            build if needed; last line of output: the prefix
#   arm64-toolchain.sh --prefix   only print where the prefix is (or will be)
#
# The prefix lives in a cache folder named after this script's content, so a
# second run (or a second checkout) reuses it and any change here rebuilds it.
# It is built in a scratch folder and renamed at the end: an interrupted run
# never leaves a half toolchain behind.
#
# Layout of the prefix:
#   bin/aarch64-w64-mingw32-{clang,clang++,windres}   compiler wrappers
#   aarch64-w64-mingw32/{include,lib}                  headers, CRT, libc++
#   lib/clang/14.0.6/{include,lib/windows}             clang's resource dir
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
self="$root/scripts/arm64-toolchain.sh"
key=$(sha256sum "$self" | cut -c1-12)
cache=${MORLANT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/morlant}
prefix="$cache/arm64-toolchain-$key"

if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi
if [ -x "$prefix/bin/aarch64-w64-mingw32-clang++" ]; then
  echo "$prefix"
  exit 0
fi

# One build at a time (a configure step may ask for the toolchain while
# another build of it runs): wait for it, then use what it built.
mkdir -p "$cache"
exec 8>"$cache/arm64-toolchain.lock"
flock 8
if [ -x "$prefix/bin/aarch64-w64-mingw32-clang++" ]; then
  echo "$prefix"
  exit 0
fi

start=$SECONDS
"$root/scripts/install-deps.sh" arm64

triple=aarch64-w64-mingw32
clang_version=14.0.6
jobs=$(nproc)
mkdir -p "$cache"
work=$(mktemp -d "$cache/arm64-toolchain-build.XXXXXX")
# MORLANT_KEEP_BUILD=1 keeps the scratch folder of a failed build to look into.
[ "${MORLANT_KEEP_BUILD:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
stage="$work/prefix"   # becomes $prefix at the end
sysroot="$stage/$triple"
resource="$stage/lib/clang/$clang_version"
mkdir -p "$stage/bin" "$sysroot" "$resource/lib/windows"
ln -s "/usr/lib/llvm-14/lib/clang/$clang_version/include" "$resource/include"

# --- Source tarballs, through a private apt configuration (the machine's
# sources and lists stay untouched).
downloads="$cache/downloads"
mkdir -p "$downloads"
fetch_sources() {
  local apt="$work/apt"
  mkdir -p "$apt/lists/partial" "$apt/archives/partial"
  cat >"$apt/sources.list" <<'EOF'
deb-src http://deb.debian.org/debian bookworm main
EOF
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=/nonexistent"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives"
              -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root" -qq)
  apt-get "${opts[@]}" update
  (cd "$downloads" && apt-get "${opts[@]}" source --download-only mingw-w64 llvm-toolchain-14)
}
mingw_tar=$(ls "$downloads"/mingw-w64_*.orig.tar.* 2>/dev/null | head -1 || true)
llvm_tar=$(ls "$downloads"/llvm-toolchain-14_*.orig.tar.* 2>/dev/null | head -1 || true)
if [ -z "$mingw_tar" ] || [ -z "$llvm_tar" ]; then
  fetch_sources
  mingw_tar=$(ls "$downloads"/mingw-w64_*.orig.tar.* | head -1)
  llvm_tar=$(ls "$downloads"/llvm-toolchain-14_*.orig.tar.* | head -1)
fi
echo "== sources: $(basename "$mingw_tar"), $(basename "$llvm_tar")"
mkdir -p "$work/src/mingw" "$work/src/llvm"
tar -xf "$mingw_tar" -C "$work/src/mingw" --strip-components=1
# Only the runtimes and the CMake modules they need.
top=$(basename "$llvm_tar")
top=${top%.orig.tar.*}
tar -xf "$llvm_tar" -C "$work/src/llvm" --strip-components=1 \
  "$top/compiler-rt" "$top/libunwind" "$top/libcxx" "$top/libcxxabi" "$top/runtimes" "$top/cmake" \
  "$top/llvm/cmake" "$top/llvm/utils/lit" "$top/llvm/utils/llvm-lit"

# --- Compiler wrappers. UNWINDLIB is libunwind once it exists; while the
# runtimes are being built it is none.
write_wrapper() {  # name driver
  cat >"$stage/bin/$triple-$1" <<EOF
#!/bin/sh
# clang 14 for Windows ARM64 with this prefix as sysroot and resource dir.
dir=\$(cd "\$(dirname "\$0")/.." && pwd)
exec $2 --target=$triple --sysroot="\$dir" -resource-dir="\$dir/lib/clang/$clang_version" \\
  -rtlib=compiler-rt -unwindlib=\${MORLANT_UNWINDLIB:-libunwind} -stdlib=libc++ -fuse-ld=lld \\
  -Wno-unused-command-line-argument "\$@"
EOF
  chmod +x "$stage/bin/$triple-$1"
}
write_wrapper clang clang-14
write_wrapper clang++ clang++-14
cat >"$stage/bin/$triple-windres" <<EOF
#!/bin/sh
# Resource compiler producing ARM64 objects. llvm-windres preprocesses with
# the clang it finds on PATH (clang 14's own folder first), against the
# sysroot's headers.
dir=\$(cd "\$(dirname "\$0")/.." && pwd)
PATH=/usr/lib/llvm-14/bin:\$PATH exec llvm-windres-14 --target=$triple -I "\$dir/$triple/include" "\$@"
EOF
chmod +x "$stage/bin/$triple-windres"
for tool in ar ranlib dlltool nm objcopy strip readobj; do
  ln -s "/usr/bin/llvm-$tool-14" "$stage/bin/$triple-$tool"
done
export MORLANT_UNWINDLIB=none
export PATH="$stage/bin:$PATH"
cc="$stage/bin/$triple-clang"
cxx="$stage/bin/$triple-clang++"

# --- mingw-w64 headers and CRT (UCRT by default, Windows 10 API level).
echo "== mingw-w64 headers"
mkdir -p "$work/build/headers" && cd "$work/build/headers"
"$work/src/mingw/mingw-w64-headers/configure" --host=$triple --prefix="$sysroot" \
  --with-default-msvcrt=ucrt --with-default-win32-winnt=0x0A00 >/dev/null
make install >/dev/null

echo "== mingw-w64 CRT and import libraries"
mkdir -p "$work/build/crt" && cd "$work/build/crt"
"$work/src/mingw/mingw-w64-crt/configure" --host=$triple --prefix="$sysroot" \
  --disable-lib32 --disable-lib64 --enable-libarm64 --with-default-msvcrt=ucrt \
  CC="$cc" CXX="$cxx" AR=llvm-ar-14 RANLIB=llvm-ranlib-14 DLLTOOL=llvm-dlltool-14 >/dev/null
make -j"$jobs" >/dev/null 2>"$work/crt.log" || { tail -40 "$work/crt.log"; exit 1; }
make install >/dev/null

# --- compiler-rt builtins (the CRT needs __chkstk and friends from them).
common_cmake=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=ARM64
              -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx"
              -DCMAKE_C_COMPILER_WORKS=1 -DCMAKE_CXX_COMPILER_WORKS=1
              -DCMAKE_AR=/usr/bin/llvm-ar-14 -DCMAKE_RANLIB=/usr/bin/llvm-ranlib-14)
echo "== compiler-rt builtins"
cmake -S "$work/src/llvm/compiler-rt/lib/builtins" -B "$work/build/builtins" "${common_cmake[@]}" \
  -DCMAKE_C_COMPILER_TARGET=aarch64-w64-windows-gnu -DCOMPILER_RT_DEFAULT_TARGET_ONLY=TRUE \
  -DLLVM_CONFIG_PATH="" -DCOMPILER_RT_BUILD_BUILTINS=ON >"$work/builtins.log" 2>&1 \
  || { tail -40 "$work/builtins.log"; exit 1; }
cmake --build "$work/build/builtins" -j "$jobs" >>"$work/builtins.log" 2>&1 || { tail -40 "$work/builtins.log"; exit 1; }
cp "$(find "$work/build/builtins" -name 'libclang_rt.builtins*.a' | head -1)" \
  "$resource/lib/windows/libclang_rt.builtins-aarch64.a"

# --- libunwind, libc++abi, libc++: static, so executables carry their C++
# runtime and need no DLL besides the system's.
echo "== libunwind, libc++abi, libc++"
# Number formatting inside libc++ (streams, to_string) goes through the
# printf family: mingw-w64's own, as for the programs built with this
# toolchain, rather than UCRT's variadic entry points.
stdio=-D__USE_MINGW_ANSI_STDIO=1
cmake -S "$work/src/llvm/runtimes" -B "$work/build/runtimes" "${common_cmake[@]}" \
  -DCMAKE_C_COMPILER_TARGET=aarch64-w64-windows-gnu -DCMAKE_CXX_COMPILER_TARGET=aarch64-w64-windows-gnu \
  -DLLVM_DEFAULT_TARGET_TRIPLE=aarch64-w64-windows-gnu \
  -DCMAKE_INSTALL_PREFIX="$sysroot" -DLLVM_ENABLE_RUNTIMES="libunwind;libcxxabi;libcxx" \
  -DCMAKE_C_FLAGS="$stdio" -DCMAKE_CXX_FLAGS="$stdio" \
  -DLIBUNWIND_ENABLE_SHARED=OFF -DLIBCXXABI_ENABLE_SHARED=OFF -DLIBCXX_ENABLE_SHARED=OFF \
  -DLIBUNWIND_USE_COMPILER_RT=ON -DLIBCXXABI_USE_COMPILER_RT=ON -DLIBCXX_USE_COMPILER_RT=ON \
  -DLIBCXXABI_USE_LLVM_UNWINDER=ON -DLIBCXX_ENABLE_STATIC_ABI_LIBRARY=ON \
  -DLIBCXX_CXX_ABI=libcxxabi -DLIBCXX_HAS_WIN32_THREAD_API=ON -DLIBCXXABI_HAS_WIN32_THREAD_API=ON \
  -DLIBCXX_ENABLE_ABI_LINKER_SCRIPT=OFF -DLIBCXX_ENABLE_EXPERIMENTAL_LIBRARY=OFF \
  -DLIBCXX_INCLUDE_BENCHMARKS=OFF -DLIBCXX_INCLUDE_TESTS=OFF -DLIBCXXABI_INCLUDE_TESTS=OFF \
  -DLIBUNWIND_INCLUDE_TESTS=OFF -DLIBCXX_INCLUDE_DOCS=OFF -DLLVM_INCLUDE_TESTS=OFF \
  -DLIBCXX_LIBDIR_SUFFIX="" -DLIBCXXABI_LIBDIR_SUFFIX="" -DLIBUNWIND_LIBDIR_SUFFIX="" \
  >"$work/runtimes.log" 2>&1 || { tail -40 "$work/runtimes.log"; exit 1; }
cmake --build "$work/build/runtimes" -j "$jobs" >>"$work/runtimes.log" 2>&1 || { tail -40 "$work/runtimes.log"; exit 1; }
cmake --install "$work/build/runtimes" >>"$work/runtimes.log" 2>&1 || { tail -40 "$work/runtimes.log"; exit 1; }

# --- A smoke test: a C++ program with exceptions, a thread and a resource
# must link into one ARM64 executable.
unset MORLANT_UNWINDLIB
cat >"$work/smoke.cpp" <<'EOF'
#include <stdexcept>
#include <string>
#include <thread>
int main() {
  int r = 0;
  std::thread t([&] { try { throw std::runtime_error("x"); } catch (const std::exception& e) { r = std::string(e.what()) == "x" ? 0 : 1; } });
  t.join();
  return r;
}
EOF
"$cxx" -O2 -static "$work/smoke.cpp" -o "$work/smoke.exe"
llvm-readobj-14 --file-headers "$work/smoke.exe" | grep -q 'IMAGE_FILE_MACHINE_ARM64' \
  || { echo "smoke test: not an ARM64 executable" >&2; exit 1; }
printf '#include <windows.h>\n1 VERSIONINFO FILEVERSION 1,0,0,0\nBEGIN\nEND\n' >"$work/smoke.rc"
"$stage/bin/$triple-windres" -O coff "$work/smoke.rc" "$work/smoke.res"
llvm-readobj-14 --coff-resources "$work/smoke.res" | grep -q 'VERSIONINFO' \
  || { echo "smoke test: the resource compiler lost the resources" >&2; exit 1; }

cd "$cache"
rm -rf "$prefix"
mv "$stage" "$prefix"
# Toolchains of earlier versions of this script are not used any more.
for old in "$cache"/arm64-toolchain-*; do
  case "$old" in "$prefix" | *-build.*) ;; *) rm -rf "$old" ;; esac
done
echo "== ARM64 toolchain built in $((SECONDS - start)) s"
echo "$prefix"
