#include "platform/x11/X11Reply.hpp"

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
