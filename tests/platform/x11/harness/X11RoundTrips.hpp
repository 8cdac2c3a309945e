#pragma once

#include <xcb/xcb.h>

#include <cstddef>

namespace talvori::testing {

// Counts the times the program waited for the X server's answer on one connection: every reply
// waited for and every checked request, wherever in the process (xcb or a library over it) the
// wait comes from. Answers handed over later, without waiting, are not counted. One count runs
// at a time. With TALVORI_TRACE_ROUND_TRIPS set, each wait counted writes its call stack to
// standard error.
class X11RoundTrips {
  public:
    explicit X11RoundTrips(xcb_connection_t* connection);
    ~X11RoundTrips();
    X11RoundTrips(const X11RoundTrips&) = delete;
    X11RoundTrips& operator=(const X11RoundTrips&) = delete;

    std::size_t count() const;
};

}  // namespace talvori::testing
