# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-build for 64-bit Windows with MinGW-w64 (x86_64), for tests only: where the machine cannot
# run 32-bit programs (so Wine cannot run the 32-bit build), the same sources built for 64 bits
# run the Windows tests under 64-bit Wine. Users get the 32-bit program (mingw-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(PICTRANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(PICTRANE_WINE_ARCH win64 CACHE INTERNAL "Wine prefix architecture of the tests")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
