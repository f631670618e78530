# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-build for 32-bit Windows with MinGW-w64 (i686): the program users get.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PICTRANE_MINGW_TRIPLET i686-w64-mingw32)
set(PICTRANE_WINE_ARCH win32 CACHE INTERNAL "Wine prefix architecture of the tests")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
