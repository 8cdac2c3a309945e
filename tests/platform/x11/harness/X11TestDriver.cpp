#include "platform/x11/harness/X11TestDriver.hpp"

#include <cairo.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>

namespace talvori::testing {

namespace {

constexpr std::uint8_t kEvdevOffset = 8;

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <class T>
Reply<T> owned(T* reply) {
    return Reply<T>(reply, &std::free);
}

}  // namespace

X11TestDriver::X11TestDriver(const std::string& display) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen->root;
    rootDepth_ = screen->root_depth;
}

X11TestDriver::~X11TestDriver() {
    xcb_disconnect(connection_);
}

xcb_atom_t X11TestDriver::atom(const char* name) const {
    auto reply = owned(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : 0;
}

std::vector<std::uint32_t> X11TestDriver::cardinals(xcb_window_t window,
                                                    const char* property) const {
    auto reply =
        owned(xcb_get_property_reply(connection_,
                                     xcb_get_property(connection_, 0, window, atom(property),
                                                      XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
                                     nullptr));
    std::vector<std::uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
        values.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    }
    return values;
}

std::vector<xcb_window_t> X11TestDriver::clientList() const {
    return cardinals(root_, "_NET_CLIENT_LIST");
}

xcb_window_t X11TestDriver::activeWindow() const {
    const auto values = cardinals(root_, "_NET_ACTIVE_WINDOW");
    return values.empty() ? xcb_window_t{0} : values.front();
}

std::vector<xcb_window_t> X11TestDriver::stacking() const {
    return children(root_);
}

std::vector<xcb_window_t> X11TestDriver::children(xcb_window_t window) const {
    auto tree =
        owned(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

xcb_window_t X11TestDriver::frameOf(xcb_window_t window) const {
    xcb_window_t current = window;
    for (int depth = 0; depth < 8; ++depth) {
        auto tree =
            owned(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, current), nullptr));
        if (!tree) return XCB_WINDOW_NONE;
        if (tree->parent == root_) return current;
        current = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

xcb_window_t X11TestDriver::windowAbove(xcb_window_t window) const {
    const auto order = stacking();
    const auto found = std::find(order.begin(), order.end(), window);
    if (found == order.end()) return XCB_WINDOW_NONE;
    // Unmapped windows do not count: they show nothing.
    for (auto it = found + 1; it != order.end(); ++it) {
        if (isViewable(*it)) return *it;
    }
    return XCB_WINDOW_NONE;
}

bool X11TestDriver::isViewable(xcb_window_t window) const {
    auto attributes = owned(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::vector<int> X11TestDriver::rootGeometry(xcb_window_t window) const {
    auto geometry =
        owned(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    auto origin = owned(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr));
    if (!geometry || !origin) return {};
    return {origin->dst_x, origin->dst_y, geometry->width, geometry->height};
}

X11TestDriver::Point X11TestDriver::pointIn(xcb_window_t window, int x, int y) const {
    const auto content = rootGeometry(window);
    if (content.empty()) return {-1, -1};
    const int across = x < 0 ? content[2] + x : x;
    const int down = y < 0 ? content[3] + y : y;
    if (across < 0 || across >= content[2] || down < 0 || down >= content[3]) return {-1, -1};
    return {content[0] + across, content[1] + down};
}

X11TestDriver::Point X11TestDriver::middleOf(xcb_window_t window) const {
    const auto content = rootGeometry(window);
    if (content.empty()) return {-1, -1};
    return {content[0] + content[2] / 2, content[1] + content[3] / 2};
}

bool X11TestDriver::showsAlone(xcb_window_t window, Point point) const {
    const auto content = rootGeometry(window);
    const auto inside = [&point](const std::vector<int>& area, int margin) {
        return area.size() == 4 && point.x >= area[0] - margin &&
               point.x < area[0] + area[2] + margin && point.y >= area[1] - margin &&
               point.y < area[1] + area[3] + margin;
    };
    if (!inside(content, 0)) return false;
    const auto order = stacking();
    const auto own = std::find(order.begin(), order.end(), frameOf(window));
    if (own == order.end()) return false;
    // Input-only windows (a window manager's screen edges) show nothing.
    return std::none_of(own + 1, order.end(), [&](xcb_window_t above) {
        auto attributes = owned(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, above), nullptr));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
               attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT &&
               inside(rootGeometry(above), kFrameReach);
    });
}

void X11TestDriver::activate(xcb_window_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
}

void X11TestDriver::move(xcb_window_t window, int x, int y) {
    const std::uint32_t values[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)};
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    xcb_flush(connection_);
}

void X11TestDriver::destroy(xcb_window_t window) {
    xcb_destroy_window(connection_, window);
    xcb_flush(connection_);
}

xcb_window_t X11TestDriver::popUp(int x, int y, int width, int height) {
    const xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t values[] = {0x202020, 1};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection_, window);
    sync();
    return window;
}

xcb_window_t X11TestDriver::askFrameExtents() {
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
    return window;
}

void X11TestDriver::setWindows(xcb_window_t window, const char* property,
                               const std::vector<xcb_window_t>& windows) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom(property), XCB_ATOM_WINDOW,
                        32, static_cast<std::uint32_t>(windows.size()), windows.data());
    sync();
}

void X11TestDriver::focus(xcb_window_t window) {
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window ? window : root_,
                        XCB_CURRENT_TIME);
    sync();
}

xcb_window_t X11TestDriver::focusedWindow() const {
    auto* reply = xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr);
    const xcb_window_t focus = reply ? reply->focus : xcb_window_t{XCB_WINDOW_NONE};
    std::free(reply);
    return focus;
}

// Found by trying to take it: only a keyboard another program holds refuses.
bool X11TestDriver::isKeyboardHeld() const {
    auto* reply =
        xcb_grab_keyboard_reply(connection_,
                                xcb_grab_keyboard(connection_, 0, root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr);
    const bool held = reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
    std::free(reply);
    return held;
}

std::string X11TestDriver::windowClass(xcb_window_t window) const {
    auto* reply = xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
        nullptr);
    std::string value;
    if (reply) {
        value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    }
    std::free(reply);
    return value;
}

xcb_window_t X11TestDriver::findDocked(const std::function<bool(xcb_window_t)>& matches) const {
    std::deque<xcb_window_t> waiting{root_};
    while (!waiting.empty()) {
        const xcb_window_t parent = waiting.front();
        waiting.pop_front();
        auto* tree =
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, parent), nullptr);
        if (!tree) continue;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        std::vector<xcb_window_t> found(children, children + xcb_query_tree_children_length(tree));
        std::free(tree);
        for (const xcb_window_t child : found) {
            if (parent != root_ && isViewable(child) && matches(child)) return child;
            waiting.push_back(child);
        }
    }
    return XCB_WINDOW_NONE;
}

void X11TestDriver::retitle(xcb_window_t window, const std::optional<std::string>& title) {
    if (!title) {
        xcb_delete_property(connection_, window, atom("_NET_WM_NAME"));
    } else {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"),
                            atom("UTF8_STRING"), 8, static_cast<std::uint32_t>(title->size()),
                            title->data());
    }
    xcb_flush(connection_);
}

void X11TestDriver::fake(std::uint8_t type, std::uint8_t detail, int x, int y) {
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, root_,
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
}

void X11TestDriver::keyDown(std::uint8_t key) {
    fake(XCB_KEY_PRESS, static_cast<std::uint8_t>(key + kEvdevOffset));
    xcb_flush(connection_);
}

void X11TestDriver::keyUp(std::uint8_t key) {
    fake(XCB_KEY_RELEASE, static_cast<std::uint8_t>(key + kEvdevOffset));
    xcb_flush(connection_);
}

void X11TestDriver::tap(std::uint8_t key, const std::vector<std::uint8_t>& modifiers) {
    for (const std::uint8_t modifier : modifiers) keyDown(modifier);
    keyDown(key);
    keyUp(key);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) keyUp(*it);
    sync();
}

void X11TestDriver::moveMouse(int x, int y) {
    fake(XCB_MOTION_NOTIFY, 0, x, y);
    sync();
}

void X11TestDriver::buttonDown(int button) {
    fake(XCB_BUTTON_PRESS, static_cast<std::uint8_t>(button));
    sync();
}

void X11TestDriver::buttonUp(int button) {
    fake(XCB_BUTTON_RELEASE, static_cast<std::uint8_t>(button));
    sync();
}

void X11TestDriver::click(int x, int y, int button) {
    moveMouse(x, y);
    buttonDown(button);
    buttonUp(button);
}

void X11TestDriver::sync() const {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

bool X11TestDriver::grabKey(std::uint8_t key, std::uint16_t modifiers) {
    xcb_generic_error_t* error = xcb_request_check(
        connection_, xcb_grab_key_checked(connection_, 1, root_, modifiers,
                                          static_cast<xcb_keycode_t>(key + kEvdevOffset),
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const bool granted = error == nullptr;
    std::free(error);
    return granted;
}

void X11TestDriver::ungrabKey(std::uint8_t key, std::uint16_t modifiers) {
    xcb_ungrab_key(connection_, static_cast<xcb_keycode_t>(key + kEvdevOffset), root_, modifiers);
    sync();
}

bool X11TestDriver::tookKeyPress(std::uint8_t key) {
    bool took = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const auto& press = *reinterpret_cast<xcb_key_press_event_t*>(event);
        took |=
            (event->response_type & 0x7F) == XCB_KEY_PRESS && press.detail == key + kEvdevOffset;
        std::free(event);
    }
    return took;
}

bool X11TestDriver::moveModifierKey(std::uint8_t key, int index) {
    auto mapping = owned(xcb_get_modifier_mapping_reply(
        connection_, xcb_get_modifier_mapping(connection_), nullptr));
    if (!mapping || index < 0 || index > 7) return false;
    const int perModifier = mapping->keycodes_per_modifier;
    const xcb_keycode_t* current = xcb_get_modifier_mapping_keycodes(mapping.get());
    std::vector<xcb_keycode_t> keys(current, current + 8 * perModifier);
    const auto code = static_cast<xcb_keycode_t>(key + kEvdevOffset);
    std::replace(keys.begin(), keys.end(), code, xcb_keycode_t{0});
    // A free place in the new modifier's row, or a wider map.
    auto row = keys.begin() + index * perModifier;
    auto free = std::find(row, row + perModifier, xcb_keycode_t{0});
    if (free == row + perModifier) return false;
    *free = code;
    auto reply = owned(xcb_set_modifier_mapping_reply(
        connection_,
        xcb_set_modifier_mapping(connection_, static_cast<std::uint8_t>(perModifier), keys.data()),
        nullptr));
    return reply && reply->status == XCB_MAPPING_STATUS_SUCCESS;
}

X11TestDriver::Rgb X11TestDriver::pixel(int x, int y) const {
    auto image = owned(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 1, 1, ~0U),
        nullptr));
    if (!image || xcb_get_image_data_length(image.get()) < 4) return {};
    std::uint32_t value = 0;
    std::memcpy(&value, xcb_get_image_data(image.get()), 4);
    return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
            static_cast<int>(value & 0xFF)};
}

std::vector<X11TestDriver::Rgb> X11TestDriver::pixels(int x, int y, int width, int height) const {
    auto image = owned(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), ~0U),
        nullptr));
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (!image || static_cast<std::size_t>(xcb_get_image_data_length(image.get())) < count * 4) {
        return {};
    }
    std::vector<Rgb> seen(count);
    const std::uint8_t* data = xcb_get_image_data(image.get());
    for (std::size_t index = 0; index < count; ++index) {
        std::uint32_t value = 0;
        std::memcpy(&value, data + index * 4, 4);
        seen[index] = {static_cast<int>((value >> 16) & 0xFF),
                       static_cast<int>((value >> 8) & 0xFF), static_cast<int>(value & 0xFF)};
    }
    return seen;
}

bool X11TestDriver::screenshot(const std::string& path) const {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const int width = screen->width_in_pixels;
    const int height = screen->height_in_pixels;
    auto image = owned(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), ~0U),
        nullptr));
    if (!image) return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    const int stride = cairo_image_surface_get_stride(surface);
    const std::uint8_t* source = xcb_get_image_data(image.get());
    cairo_surface_flush(surface);
    std::uint8_t* target = cairo_image_surface_get_data(surface);
    for (int row = 0; row < height; ++row) {
        std::memcpy(target + row * stride, source + row * width * 4,
                    static_cast<std::size_t>(width) * 4);
    }
    cairo_surface_mark_dirty(surface);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

bool isDimmed(int shown, int lit) {
    return shown >= lit * 0.3 && shown <= lit * 0.75;
}

}  // namespace talvori::testing
