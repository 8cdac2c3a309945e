# A screen reader's side of the accessibility bus for the tests and the benchmarks: the desktop's
# accessibility bus on a private session bus, and a reader on the accessibility library in a
# process of its own. Included by the tests and the benchmarks, whichever comes first.
if(TARGET talvori_atspi_harness)
  return()
endif()
pkg_check_modules(ATSPI_READER REQUIRED IMPORTED_TARGET atspi-2 gobject-2.0)
add_executable(talvori_atspi_reader ${CMAKE_CURRENT_LIST_DIR}/AtspiReaderMain.cpp)
target_link_libraries(talvori_atspi_reader PRIVATE PkgConfig::ATSPI_READER)
add_library(talvori_atspi_harness STATIC ${CMAKE_CURRENT_LIST_DIR}/AtspiTestBus.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/AtspiTestReader.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/AtspiTestSettings.cpp
                                         ${CMAKE_CURRENT_LIST_DIR}/OrcaTestReader.cpp)
target_link_libraries(talvori_atspi_harness PUBLIC talvori_app talvori_x11_harness)
target_compile_definitions(talvori_atspi_harness PRIVATE
  TALVORI_ATSPI_READER="$<TARGET_FILE:talvori_atspi_reader>")
add_dependencies(talvori_atspi_harness talvori_atspi_reader)
