# GoogleTest for both builds: the system package natively, and the sources
# that Debian ships in /usr/src/googletest compiled for the cross build.
if(NOT VARDELK_TESTS)
  return()
endif()
enable_testing()
if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# Every test program's main (testing/gtest_main.cpp): a program whose cases
# passed but some skipped exits 77, so that ctest counts it as skipped, not
# passed; with CI=true it fails instead.
add_library(vardelk_gtest_main STATIC ${PROJECT_SOURCE_DIR}/testing/gtest_main.cpp)
target_link_libraries(vardelk_gtest_main PUBLIC GTest::gtest PRIVATE vardelk_warnings)

# vardelk_add_gtest(name source...): a test program run by ctest (under Wine
# in the cross build).
function(vardelk_add_gtest name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE vardelk_gtest_main vardelk_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
