#include "platform/x11/harness/X11RoundTrips.hpp"

#include <dlfcn.h>
#include <execinfo.h>
#include <unistd.h>
#include <xcb/xcbext.h>

#include <atomic>
#include <cstdlib>

// Present when the sanitizers are built in: it names the functions of a trace.
extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));

namespace {

// Read and written by the program's thread; a watching thread on a connection of its own is
// never counted.
std::atomic<xcb_connection_t*> counted{nullptr};
std::atomic<std::size_t> waits{0};

void trace() {
    static const bool wanted = std::getenv("TALVORI_TRACE_ROUND_TRIPS") != nullptr;
    if (!wanted) return;
    static constexpr char kHeading[] = "Waited for the X server's answer:\n";
    [[maybe_unused]] const auto written = write(STDERR_FILENO, kHeading, sizeof kHeading - 1);
    if (__sanitizer_print_stack_trace) {
        __sanitizer_print_stack_trace();
        return;
    }
    void* frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
}

void note(xcb_connection_t* connection) {
    if (!connection || connection != counted.load()) return;
    ++waits;
    trace();
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
