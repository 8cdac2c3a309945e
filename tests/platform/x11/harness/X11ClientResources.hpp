#pragma once

#include <xcb/xcb.h>

#include <cstdint>

namespace talvori::testing {

class X11TestDriver;

// What one client holds in the X server, as the X-Resource extension counts it: its windows, its
// RENDER glyph sets (which text drawing makes per font) and all its resources.
struct X11ClientResources {
    std::uint32_t windows = 0;
    std::uint32_t glyphSets = 0;
    std::uint32_t total = 0;

    // Asked by `driver` about the client behind `client`; all zero when the server cannot say.
    static X11ClientResources of(const X11TestDriver& driver, xcb_connection_t* client);
};

}  // namespace talvori::testing
