#include "platform/x11/harness/X11RoundTrips.hpp"

#include <dlfcn.h>
#include <xcb/xcbext.h>

#include <atomic>

namespace {

// Read and written by the program's thread; a watching thread on a connection of its own is
// never counted.
std::atomic<xcb_connection_t*> counted{nullptr};
std::atomic<std::size_t> waits{0};

void note(xcb_connection_t* connection) {
    if (connection && connection == counted.load()) ++waits;
}

}  // namespace

// xcb's own reply functions, and the extension libraries', reach the server's answers through
// these two: defined here, they stand in front of xcb's and hand over to it.
extern "C" void* xcb_wait_for_reply(xcb_connection_t* connection, unsigned int request,
                                    xcb_generic_error_t** error) {
    using Wait = void* (*)(xcb_connection_t*, unsigned int, xcb_generic_error_t**);
    static const auto real = reinterpret_cast<Wait>(dlsym(RTLD_NEXT, "xcb_wait_for_reply"));
    // An answer that has come already is taken without waiting.
    void* reply = nullptr;
    if (connection == counted.load() && xcb_poll_for_reply(connection, request, &reply, error)) {
        return reply;
    }
    note(connection);
    return real(connection, request, error);
}

extern "C" xcb_generic_error_t* xcb_request_check(xcb_connection_t* connection,
                                                  xcb_void_cookie_t cookie) {
    using Check = xcb_generic_error_t* (*)(xcb_connection_t*, xcb_void_cookie_t);
    static const auto real = reinterpret_cast<Check>(dlsym(RTLD_NEXT, "xcb_request_check"));
    note(connection);
    return real(connection, cookie);
}

namespace talvori::testing {

X11RoundTrips::X11RoundTrips(xcb_connection_t* connection) {
    waits = 0;
    counted = connection;
}

X11RoundTrips::~X11RoundTrips() {
    counted = nullptr;
}

std::size_t X11RoundTrips::count() const {
    return waits.load();
}

}  // namespace talvori::testing
