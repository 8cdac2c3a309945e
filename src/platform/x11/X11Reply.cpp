#include "platform/x11/X11Reply.hpp"

#include <glib.h>

#include <cstring>

namespace talvori::x11 {

std::vector<std::uint32_t> PropertyValue::cardinals() const {
    if (format != 32) return {};
    std::vector<std::uint32_t> values(bytes.size() / 4);
    if (!values.empty()) std::memcpy(values.data(), bytes.data(), values.size() * 4);
    return values;
}

std::optional<std::uint32_t> PropertyValue::cardinal() const {
    const auto values = cardinals();
    if (values.empty()) return std::nullopt;
    return values.front();
}

std::string PropertyValue::text() const {
    if (format != 8) return {};
    std::string value(bytes.begin(), bytes.end());
    // Some clients count the terminating NUL.
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
}

std::vector<std::string> PropertyValue::texts() const {
    std::vector<std::string> values;
    if (format != 8) return values;
    std::string current;
    for (const std::uint8_t byte : bytes) {
        if (byte == 0) {
            values.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(static_cast<char>(byte));
        }
    }
    if (!current.empty()) values.push_back(std::move(current));
    return values;
}

std::string latin1ToUtf8(const std::string& latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char byte : latin1) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x80) {
            utf8.push_back(byte);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (code >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return utf8;
}

namespace {

std::string asUtf8(xcb_atom_t type, const std::string& text) {
    if (type == XCB_ATOM_STRING) return latin1ToUtf8(text);
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string result(valid);
    g_free(valid);
    return result;
}

}  // namespace

std::string PropertyValue::utf8Text() const {
    return asUtf8(type, text());
}

std::vector<std::string> PropertyValue::utf8Texts() const {
    auto values = texts();
    for (auto& value : values) value = asUtf8(type, value);
    return values;
}

xcb_get_property_cookie_t requestProperty(xcb_connection_t* connection, xcb_window_t window,
                                          xcb_atom_t property, std::uint32_t longLength) {
    return xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                            longLength);
}

std::optional<PropertyValue> propertyReply(xcb_connection_t* connection,
                                           xcb_get_property_cookie_t cookie) {
    auto reply = waitReply(xcb_get_property_reply, connection, cookie);
    return propertyValue(reply.get());
}

std::optional<PropertyValue> propertyValue(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->type == XCB_ATOM_NONE) return std::nullopt;
    PropertyValue value;
    value.type = reply->type;
    value.format = reply->format;
    auto* mutableReply = const_cast<xcb_get_property_reply_t*>(reply);
    const auto* data = static_cast<const std::uint8_t*>(xcb_get_property_value(mutableReply));
    const int length = xcb_get_property_value_length(mutableReply);
    if (data && length > 0) value.bytes.assign(data, data + length);
    return value;
}

}  // namespace talvori::x11
