# SPDX-License-Identifier: GPL-3.0-or-later
# GoogleTest for every test directory, and the one way a test is registered with CTest.
include_guard(GLOBAL)

if(WIN32)
  # The cross build has no GoogleTest package: the Debian sources are built with the tests.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED GLOBAL)
endif()
include(GoogleTest)
# The GoogleTest programs list their tests when ctest starts, not after each build: a listing run
# after the build is a command of the target on its own file, which makes the target depend on
# itself in CMake's graph.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# pictrane_add_test(<name> [GTEST] [COMMAND <command>...] [TIMEOUT <seconds>] [RUN_SERIAL]
#                   [ENVIRONMENT <VAR=value>...] [LABELS <label>...] [PROPERTIES <property> <value>...])
#
# Registers the program <name> (or COMMAND) as a test. A GTEST program becomes one test per case
# where its cases can be listed at build time, and one test for the whole program under Wine,
# where listing them would start Wine once per build; it takes at most one ENVIRONMENT and one
# LABELS value.
function(pictrane_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "GTEST;RUN_SERIAL" "TIMEOUT"
                        "COMMAND;ENVIRONMENT;LABELS;PROPERTIES")
  set(properties ${ARG_PROPERTIES})
  if(ARG_TIMEOUT)
    list(APPEND properties TIMEOUT ${ARG_TIMEOUT})
  endif()
  if(ARG_RUN_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()

  if(ARG_GTEST AND NOT CMAKE_CROSSCOMPILING AND NOT ARG_COMMAND)
    # This CMake's GoogleTest module splits every list it passes on, so a discovered test takes
    # one value of each: refuse more rather than lose them quietly.
    foreach(property ENVIRONMENT LABELS)
      list(LENGTH ARG_${property} count)
      if(count GREATER 1)
        message(FATAL_ERROR "pictrane_add_test(${name}): a GTEST test takes one ${property} value")
      elseif(count EQUAL 1)
        list(APPEND properties ${property} ${ARG_${property}})
      endif()
    endforeach()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
    return()
  endif()

  if(NOT ARG_COMMAND)
    set(ARG_COMMAND ${name})
  endif()
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  foreach(property ENVIRONMENT LABELS)
    if(ARG_${property})
      set_tests_properties(${name} PROPERTIES ${property} "${ARG_${property}}")
    endif()
  endforeach()
  if(properties)
    set_tests_properties(${name} PROPERTIES ${properties})
  endif()
endfunction()
