# Cross build for Linux on aarch64 with clang 14, the compiler of the Windows
# ARM64 build, for the ARM64 speed estimate's workload drivers (presets
# linux-arm64-perf-clang and linux-arm64-perf-clang-portable). clang takes the
# C and C++ runtimes, libstdc++ included, from Debian's GCC cross installation
# (g++-aarch64-linux-gnu: /usr/lib/gcc-cross/aarch64-linux-gnu and
# /usr/aarch64-linux-gnu) and links through its GNU linker,
# aarch64-linux-gnu-ld. The drivers need neither GMP nor MPFR, so unlike
# cmake/aarch64-linux-gnu.cmake this file asks for no arm64 root; programs run
# under qemu-aarch64 with -L /usr/aarch64-linux-gnu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(MORLANT_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET ${MORLANT_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${MORLANT_TRIPLE})
set(CMAKE_LIBRARY_ARCHITECTURE ${MORLANT_TRIPLE})
# The GCC installation clang takes its headers, start files and libraries from:
# the one under /usr, whose aarch64-linux-gnu cross compiler is version 12.
set(CMAKE_C_FLAGS_INIT "--gcc-toolchain=/usr")
set(CMAKE_CXX_FLAGS_INIT "--gcc-toolchain=/usr")
set(CMAKE_AR ${MORLANT_TRIPLE}-ar)
set(CMAKE_RANLIB ${MORLANT_TRIPLE}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${MORLANT_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
