# SPDX-License-Identifier: GPL-3.0-or-later
# What the MinGW-w64 toolchain files share; each sets PICTRANE_MINGW_TRIPLET and PICTRANE_WINE_ARCH
# first. Everything is linked statically, so the program needs no MinGW DLLs beside it. Test
# programs run under Wine through wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives the full C++ threading library (std::thread, std::mutex).
set(CMAKE_C_COMPILER ${PICTRANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PICTRANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PICTRANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PICTRANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12 reports std::string's own "literal" + string as overlapping copies (a known false
# positive of -Wrestrict at -O2); it would stop the build wherever warnings are errors.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Every test program runs under Wine, in a prefix of its own inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--prefix=${CMAKE_BINARY_DIR}/wine-prefix;--arch=${PICTRANE_WINE_ARCH}")
