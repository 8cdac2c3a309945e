#pragma once

#include <xcb/xcb.h>

#include <map>
#include <memory>

#include "platform/desktop/Cursor.hpp"

struct xcb_cursor_context_t;

namespace talvori::x11 {

class X11Connection;

// Pointer shapes as X cursors: the standard ones by their theme names (falling back to the core
// cursor font), custom ones made from their ARGB pixels through RENDER.
class X11Cursors {
  public:
    explicit X11Cursors(std::shared_ptr<X11Connection> connection);
    ~X11Cursors();
    X11Cursors(const X11Cursors&) = delete;
    X11Cursors& operator=(const X11Cursors&) = delete;

    // The cursor for `cursor`; none when it cannot be made. Standard cursors are kept; the last
    // custom one lives until the next.
    xcb_cursor_t cursor(const Cursor& cursor);

  private:
    xcb_cursor_t custom(const Cursor& cursor);
    std::uint32_t argbFormat();

    std::shared_ptr<X11Connection> connection_;
    xcb_cursor_context_t* context_ = nullptr;
    std::map<Cursor::Kind, xcb_cursor_t> standard_;
    xcb_cursor_t custom_ = XCB_CURSOR_NONE;
    std::uint32_t argbFormat_ = 0;
};

}  // namespace talvori::x11
