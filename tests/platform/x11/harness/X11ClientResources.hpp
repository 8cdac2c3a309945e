#pragma once

#include <xcb/xcb.h>

#include <cstdint>

namespace talvori::testing {

// What one client holds in the X server, as the X-Resource extension counts it: its windows, its
// RENDER glyph sets (which text drawing makes per font) and all its resources.
struct X11ClientResources {
    std::uint32_t windows = 0;
    std::uint32_t glyphSets = 0;
    std::uint32_t total = 0;

    // Asked on `asking` about the client behind `client`; all zero when the server cannot say.
    static X11ClientResources of(xcb_connection_t* asking, xcb_connection_t* client);
};

}  // namespace talvori::testing
