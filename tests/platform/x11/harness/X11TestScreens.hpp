#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

namespace talvori::testing {

// The test server's displays changed as plugging in, unplugging or reconfiguring them would
// (RandR), through a connection of its own.
class X11TestScreens {
  public:
    struct Monitor {
        std::string name;
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        bool primary = false;
    };

    explicit X11TestScreens(const std::string& display);
    ~X11TestScreens();
    X11TestScreens(const X11TestScreens&) = delete;
    X11TestScreens& operator=(const X11TestScreens&) = delete;

    // Adds a monitor or changes the one of that name. The first one set takes the place of the
    // server's own output; the others show parts of the same screen.
    bool setMonitor(const Monitor& monitor);
    // Unplugs a monitor set before.
    bool removeMonitor(const std::string& name);
    // Gives the screen a new size (at most the size the server started with), its one output
    // showing all of it.
    bool resize(int width, int height);
    // Turns the outputs off and gives the screen a new size (at most the size the server started
    // with): the root alone tells it, as on a screen resized with no display showing it.
    bool resizeRootAlone(int width, int height);

  private:
    xcb_atom_t atom(const std::string& name) const;
    std::uint32_t output() const;

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    bool outputClaimed_ = false;
};

}  // namespace talvori::testing
