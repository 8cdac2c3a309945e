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
  set_property(GLOBAL APPEND PROPERTY TALVORI_LIBRARIES ${target})
  set_property(TARGET ${target} PROPERTY TALVORI_FOLDER ${folder})
endfunction()

# The libraries form a directed graph without a cycle: each links only libraries declared before
# it, so a link running back up stops the configuration. Writes, for the layering test, which
# folders each folder may include from: its own and those of every library it reaches.
function(talvori_check_layering layers_file)
  get_property(libraries GLOBAL PROPERTY TALVORI_LIBRARIES)
  set(declared)
  set(content "# Written by talvori_check_layering: folder, then the folders it may include from.\n")
  foreach(library ${libraries})
    get_target_property(folder ${library} TALVORI_FOLDER)
    get_target_property(links ${library} LINK_LIBRARIES)
    set(reach_${library} ${folder})
    foreach(link ${links})
      if(NOT link IN_LIST libraries)
        continue()
      endif()
      if(NOT link IN_LIST declared)
        message(FATAL_ERROR "${library} links ${link}, which is not declared before it: "
                            "the libraries would form a cycle")
      endif()
      list(APPEND reach_${library} ${reach_${link}})
    endforeach()
    list(REMOVE_DUPLICATES reach_${library})
    list(APPEND declared ${library})
    string(APPEND content "list(APPEND talvori_folders ${folder})\n"
                          "set(\"talvori_reach_${folder}\" ${reach_${library}})\n")
  endforeach()
  file(GENERATE OUTPUT ${layers_file} CONTENT "${content}")
endfunction()

# What the sanitizers do with a finding in a test: stop there and show the stack.
set(TALVORI_TEST_ASAN_OPTIONS "detect_leaks=1:abort_on_error=1")
set(TALVORI_TEST_UBSAN_OPTIONS "print_stacktrace=1:halt_on_error=1")

# The test program of a test folder, linked with `ARGN`; none for a folder without sources.
function(talvori_test_program target folder)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${ARGN} talvori_test_support GTest::gtest GTest::gmock
                                          GTest::gtest_main)
endfunction()

# The test program of a folder, run by CTest as one test named after the folder.
function(talvori_test target folder)
  talvori_test_program(${target} ${folder} ${ARGN})
  if(NOT TARGET ${target})
    return()
  endif()
  add_test(NAME ${folder} COMMAND ${target})
  set_tests_properties(${folder} PROPERTIES
    ENVIRONMENT "ASAN_OPTIONS=${TALVORI_TEST_ASAN_OPTIONS};UBSAN_OPTIONS=${TALVORI_TEST_UBSAN_OPTIONS}"
    TIMEOUT 900)
endfunction()
