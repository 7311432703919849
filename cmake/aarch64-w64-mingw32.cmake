# Cross build for Windows on ARM64 with clang 14, lld and the mingw-w64 UCRT
# runtime, libc++ and libunwind linked statically. The toolchain is built by
# scripts/arm64-toolchain.sh into a cache folder (first use: several minutes);
# MORLANT_ARM64_TOOLCHAIN names another prefix. Tests run under Wine for ARM64
# emulated by qemu-user (scripts/wine-run.sh --arm64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)

set(MORLANT_TRIPLE aarch64-w64-mingw32)
if(DEFINED ENV{MORLANT_ARM64_TOOLCHAIN})
  set(MORLANT_ARM64_TOOLCHAIN $ENV{MORLANT_ARM64_TOOLCHAIN})
endif()
if(NOT MORLANT_ARM64_TOOLCHAIN)
  execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/arm64-toolchain.sh --prefix
                  OUTPUT_VARIABLE MORLANT_ARM64_TOOLCHAIN OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS ${MORLANT_ARM64_TOOLCHAIN}/bin/${MORLANT_TRIPLE}-clang++)
    message(STATUS "Building the Windows ARM64 toolchain (once) into ${MORLANT_ARM64_TOOLCHAIN}")
    execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../scripts/arm64-toolchain.sh
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "scripts/arm64-toolchain.sh failed")
    endif()
  endif()
endif()
# Passed on to the try_compile projects CMake configures with this file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MORLANT_ARM64_TOOLCHAIN)

set(CMAKE_C_COMPILER ${MORLANT_ARM64_TOOLCHAIN}/bin/${MORLANT_TRIPLE}-clang)
set(CMAKE_CXX_COMPILER ${MORLANT_ARM64_TOOLCHAIN}/bin/${MORLANT_TRIPLE}-clang++)
set(CMAKE_RC_COMPILER ${MORLANT_ARM64_TOOLCHAIN}/bin/${MORLANT_TRIPLE}-windres)
set(CMAKE_AR ${MORLANT_ARM64_TOOLCHAIN}/bin/${MORLANT_TRIPLE}-ar)
set(CMAKE_RANLIB ${MORLANT_ARM64_TOOLCHAIN}/bin/${MORLANT_TRIPLE}-ranlib)

set(CMAKE_FIND_ROOT_PATH ${MORLANT_ARM64_TOOLCHAIN}/${MORLANT_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# mingw-w64's own printf family instead of UCRT's (the same choice libstdc++
# makes for the x64 build): formatting is then identical on both builds and
# does not depend on the C runtime's variadic entry points.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --arm64)
# Emulated ARM64 runs tens of times slower than native code: the tests'
# longest checks run at smaller sizes.
set(MORLANT_TESTS_EMULATED ON)
