#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talvori::x11 {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};

// A reply (or event) that xcb allocated; null when the request failed or the connection closed.
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Waits for the reply of `cookie` through xcb's `reply` function. A failed request gives null and
// no error event: every reply may be missing (a window destroyed between two requests).
template <class T, class Cookie>
Reply<T> waitReply(T* (*reply)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                   xcb_connection_t* connection, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    Reply<T> result(reply(connection, cookie, &error));
    std::free(error);
    return result;
}

// Whether an event with the full sequence number `sequence` was made before the server handled
// our request `request`: an event carries the number of the last request it had handled then.
// The numbers wrap: what lies less than half their range behind is earlier.
inline bool precedesRequest(std::uint32_t sequence, std::uint32_t request) {
    return static_cast<std::int32_t>(sequence - request) < 0;
}

// The value of a window property.
struct PropertyValue {
    xcb_atom_t type = XCB_ATOM_NONE;
    std::uint8_t format = 0;
    std::vector<std::uint8_t> bytes;

    // 32-bit items (CARDINAL, WINDOW, ATOM); empty for another format.
    std::vector<std::uint32_t> cardinals() const;
    std::optional<std::uint32_t> cardinal() const;
    // 8-bit text; empty for another format.
    std::string text() const;
    // NUL-separated texts (WM_CLASS).
    std::vector<std::string> texts() const;
    // The same as UTF-8 whatever the client wrote, for showing and for the bus: STRING is
    // Latin-1, and bytes that are not UTF-8 in anything else become replacement characters.
    std::string utf8Text() const;
    std::vector<std::string> utf8Texts() const;
};

// ICCCM's STRING (Latin-1) as UTF-8.
std::string latin1ToUtf8(const std::string& latin1);

// Asks for up to `longLength` 32-bit units of `property` of any type.
xcb_get_property_cookie_t requestProperty(xcb_connection_t* connection, xcb_window_t window,
                                          xcb_atom_t property, std::uint32_t longLength = 2048);
// The value, or nothing when the property is absent or the window gone.
std::optional<PropertyValue> propertyReply(xcb_connection_t* connection,
                                           xcb_get_property_cookie_t cookie);
// The value in a reply that came without waiting (null: the request failed).
std::optional<PropertyValue> propertyValue(const xcb_get_property_reply_t* reply);

}  // namespace talvori::x11
