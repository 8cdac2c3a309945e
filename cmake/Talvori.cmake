# One static library per source folder, one test program per test folder. Sources are collected
# per folder so that adding a file needs no edit here; the whole dependency graph is declared up
# front.

function(talvori_library target folder)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
  if(NOT sources)
    # A folder without sources yet still gives a static library, so that the application's folders,
    # which call each other, can be declared as the cycle of static libraries that they are.
    set(sources ${PROJECT_BINARY_DIR}/talvori_empty_library.cpp)
    if(NOT EXISTS ${sources})
      file(WRITE ${sources} "// Stands in for the sources of a folder that has none yet.\n")
    endif()
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARGN})
endfunction()

function(talvori_test target folder)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${ARGN} talvori_test_support GTest::gtest GTest::gmock
                                          GTest::gtest_main)
  add_test(NAME ${folder} COMMAND ${target})
  set_tests_properties(${folder} PROPERTIES
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    TIMEOUT 900)
endfunction()
