# Private X servers for the X11 backend's tests and benchmarks: the session (Xvfb, window manager,
# compositor, tray), the driver acting as the user and other programs, a private session bus with
# a stand-in for the desktop's status-item watcher, and a small program standing in for another
# application's window. Included by the tests and the benchmarks, whichever comes
# first.
if(TARGET talvori_x11_harness)
  return()
endif()
pkg_check_modules(X11_HARNESS REQUIRED IMPORTED_TARGET xcb xcb-xtest xcb-randr xcb-res cairo
                  libsystemd)
add_executable(talvori_x11_test_client ${CMAKE_CURRENT_LIST_DIR}/TestClientMain.cpp)
target_link_libraries(talvori_x11_test_client PRIVATE PkgConfig::X11_HARNESS)
add_library(talvori_x11_harness STATIC ${CMAKE_CURRENT_LIST_DIR}/X11TestSession.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11TestDriver.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11TestBus.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11TestWatcher.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11RoundTrips.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11ServerChanges.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11TestScreens.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11ClientResources.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11ClipboardPeer.cpp
                                       ${CMAKE_CURRENT_LIST_DIR}/X11WindowManagerStandIn.cpp)
target_include_directories(talvori_x11_harness PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(talvori_x11_harness PUBLIC PkgConfig::X11_HARNESS ${CMAKE_DL_LIBS})
target_compile_definitions(talvori_x11_harness PRIVATE
  TALVORI_X11_TEST_CLIENT="$<TARGET_FILE:talvori_x11_test_client>")
add_dependencies(talvori_x11_harness talvori_x11_test_client)
