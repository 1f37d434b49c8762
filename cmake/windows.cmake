# SPDX-License-Identifier: GPL-3.0-or-later
# Everything the compiler brings (libgcc, libstdc++, winpthread) is linked in, so a program needs no
# DLL beyond those every Windows has.
add_link_options(-static -static-libgcc -static-libstdc++)

# What the Windows build needs besides the cross compiler (cmake/toolchain-mingw64.cmake):
# GoogleTest, built from Debian's source package by the same compiler, and Wine to run the
# tests on Linux. Without Wine the programs and tests still build; only the tests are left out.

set(ORVANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
if(NOT EXISTS ${ORVANE_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${ORVANE_GTEST_SOURCE}: "
                      "apt-get install googletest")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ORVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Debian's wine64 package keeps its loader out of PATH.
find_program(ORVANE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ORVANE_WINE)
  # Every Windows test runs through this: one Wine prefix for the build, made on first use.
  set(ORVANE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      bash ${CMAKE_SOURCE_DIR}/tests/win32/wine_run.sh ${ORVANE_WINE} ${ORVANE_WINE_PREFIX})
else()
  message(STATUS "Wine not found: the Windows tests are not run (apt-get install wine64)")
endif()

# add_wine_test(TARGET [ARGS...]): runs the Windows program TARGET under Wine as one test.
function(add_wine_test target)
  if(NOT ORVANE_WINE)
    return()
  endif()
  add_test(NAME ${target}_wine COMMAND ${target} ${ARGN})
  set_tests_properties(${target}_wine PROPERTIES TIMEOUT 300)
endfunction()
