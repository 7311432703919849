# Cross build for Windows x64 with Debian's mingw-w64 (posix threads, needed by
# GoogleTest). Executables are self-contained (static runtime) and their tests
# run under Wine through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MORLANT_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MORLANT_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MORLANT_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MORLANT_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MORLANT_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
