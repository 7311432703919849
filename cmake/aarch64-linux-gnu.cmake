# Cross build for Linux on aarch64 with Debian's cross compiler
# (g++-aarch64-linux-gnu). Its tests run under qemu-aarch64 through
# scripts/qemu-aarch64-run.sh; GMP and MPFR for the number tests come from the
# private arm64 root of scripts/arm64-root.sh, made here if it is missing.
#
# Programs are linked dynamically, as on a real aarch64 Linux: the emulator
# takes the cross compiler's target libraries (/usr/aarch64-linux-gnu) for the
# C and C++ runtimes, and GMP and MPFR are found through the run path to the
# root's library directory, outside that prefix, so the emulator leaves it be.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(MORLANT_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${MORLANT_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${MORLANT_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${MORLANT_TRIPLE})

# Asked once per CMake run: the environment carries it into try_compile.
if(NOT DEFINED ENV{MORLANT_ARM64_ROOT})
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/arm64-root.sh
                  OUTPUT_VARIABLE root_output RESULT_VARIABLE root_result)
  string(STRIP "${root_output}" root_output)
  string(REGEX REPLACE ".*\n" "" root_path "${root_output}")
  if(NOT root_result EQUAL 0 OR NOT IS_DIRECTORY "${root_path}")
    message(FATAL_ERROR "scripts/arm64-root.sh failed (${root_result})")
  endif()
  set(ENV{MORLANT_ARM64_ROOT} "${root_path}")
endif()
set(MORLANT_ARM64_ROOT $ENV{MORLANT_ARM64_ROOT})

set(CMAKE_FIND_ROOT_PATH /usr/${MORLANT_TRIPLE} ${MORLANT_ARM64_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Emulated aarch64 runs tens of times slower than native code: the tests'
# longest checks run at smaller sizes.
set(MORLANT_TESTS_EMULATED ON)
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/qemu-aarch64-run.sh ABSOLUTE)
