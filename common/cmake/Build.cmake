# SPDX-License-Identifier: GPL-3.0-or-later
# How every project of the tree compiles: the first project to include this sets it for itself and
# for the projects it adds.
include_guard(GLOBAL)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_RUNTIME_OUTPUT_DIRECTORY)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endif()

# Rebuilds in several checkouts share one compiler cache when ccache is there.
find_program(PICTRANE_CCACHE ccache)
if(PICTRANE_CCACHE)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${PICTRANE_CCACHE})
endif()

option(PICTRANE_WERROR "Treat compiler warnings as errors" OFF)
option(PICTRANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(PICTRANE_TESTS "Build the tests" ${PROJECT_IS_TOP_LEVEL})

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
if(PICTRANE_WERROR)
  add_compile_options(-Werror)
endif()
if(PICTRANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
