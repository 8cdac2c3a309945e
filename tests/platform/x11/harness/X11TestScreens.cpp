#include "platform/x11/harness/X11TestScreens.hpp"

#include <sys/uio.h>
#include <xcb/randr.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace talvori::testing {

namespace {

template <class T>
std::unique_ptr<T, decltype(&std::free)> owned(T* reply) {
    return {reply, &std::free};
}

bool succeeded(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(connection, cookie);
    std::free(error);
    return error == nullptr;
}

// Millimetres at the usual 96 dots per inch.
std::uint32_t millimetres(int pixels) {
    return static_cast<std::uint32_t>(pixels * 254 / 960);
}

}  // namespace

X11TestScreens::X11TestScreens(const std::string& display) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Monitors came with RandR 1.5.
    std::free(xcb_randr_query_version_reply(connection_, xcb_randr_query_version(connection_, 1, 6),
                                            nullptr));
}

X11TestScreens::~X11TestScreens() {
    xcb_disconnect(connection_);
}

xcb_atom_t X11TestScreens::atom(const std::string& name) const {
    auto reply = owned(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::uint32_t X11TestScreens::output() const {
    auto resources = owned(xcb_randr_get_screen_resources_current_reply(
        connection_, xcb_randr_get_screen_resources_current(connection_, root_), nullptr));
    if (!resources || resources->num_outputs < 1) return 0;
    return *xcb_randr_get_screen_resources_current_outputs(resources.get());
}

// Sent as the protocol has it: libxcb's own SetMonitor miscounts the request's length.
bool X11TestScreens::setMonitor(const Monitor& monitor) {
    struct {
        xcb_randr_set_monitor_request_t request;
        xcb_randr_monitor_info_t info;
        std::uint32_t output;
    } message{};
    message.request.window = root_;
    message.info.name = atom(monitor.name);
    message.info.primary = monitor.primary;
    message.info.x = static_cast<std::int16_t>(monitor.x);
    message.info.y = static_cast<std::int16_t>(monitor.y);
    message.info.width = static_cast<std::uint16_t>(monitor.width);
    message.info.height = static_cast<std::uint16_t>(monitor.height);
    message.info.width_in_millimeters = millimetres(monitor.width);
    message.info.height_in_millimeters = millimetres(monitor.height);
    // The server lists its output as a monitor of its own until a monitor shows it.
    const bool claims = !outputClaimed_;
    if (claims) {
        message.output = output();
        message.info.nOutput = 1;
    }
    const xcb_extension_t* extension = &xcb_randr_id;
    const xcb_protocol_request_t protocol{2, const_cast<xcb_extension_t*>(extension),
                                          XCB_RANDR_SET_MONITOR, 1};
    iovec parts[4]{};
    parts[2] = {&message.request, sizeof message.request};
    parts[3] = {&message.info, sizeof message.info + (claims ? sizeof message.output : 0)};
    xcb_void_cookie_t cookie{
        xcb_send_request(connection_, XCB_REQUEST_CHECKED, parts + 2, &protocol)};
    const bool done = succeeded(connection_, cookie);
    outputClaimed_ = outputClaimed_ || (done && claims);
    return done;
}

bool X11TestScreens::removeMonitor(const std::string& name) {
    return succeeded(connection_, xcb_randr_delete_monitor_checked(connection_, root_, atom(name)));
}

// The output's mode must fit the screen at every step: a screen grows before its mode does, and
// shrinks after it.
bool X11TestScreens::resize(int width, int height) {
    auto resources = owned(xcb_randr_get_screen_resources_current_reply(
        connection_, xcb_randr_get_screen_resources_current(connection_, root_), nullptr));
    auto geometry =
        owned(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, root_), nullptr));
    if (!resources || !geometry || resources->num_crtcs < 1 || resources->num_outputs < 1) {
        return false;
    }
    const xcb_randr_crtc_t crtc = *xcb_randr_get_screen_resources_current_crtcs(resources.get());
    xcb_randr_output_t output = *xcb_randr_get_screen_resources_current_outputs(resources.get());
    xcb_randr_mode_t mode = XCB_NONE;
    const auto* modes = xcb_randr_get_screen_resources_current_modes(resources.get());
    for (int index = 0; index < resources->num_modes; ++index) {
        if (modes[index].width == width && modes[index].height == height) mode = modes[index].id;
    }
    if (mode == XCB_NONE) {
        const std::string name = std::to_string(width) + "x" + std::to_string(height);
        xcb_randr_mode_info_t info{};
        info.width = static_cast<std::uint16_t>(width);
        info.height = static_cast<std::uint16_t>(height);
        info.htotal = info.width;
        info.vtotal = info.height;
        info.dot_clock = static_cast<std::uint32_t>(60 * width * height);
        info.name_len = static_cast<std::uint16_t>(name.size());
        auto created = owned(xcb_randr_create_mode_reply(
            connection_,
            xcb_randr_create_mode(connection_, root_, info, static_cast<std::uint32_t>(name.size()),
                                  name.c_str()),
            nullptr));
        if (!created) return false;
        mode = created->mode;
        if (!succeeded(connection_, xcb_randr_add_output_mode_checked(connection_, output, mode))) {
            return false;
        }
    }
    const auto setSize = [&](int w, int h) {
        return succeeded(connection_,
                         xcb_randr_set_screen_size_checked(
                             connection_, root_, static_cast<std::uint16_t>(w),
                             static_cast<std::uint16_t>(h), millimetres(w), millimetres(h)));
    };
    if (!setSize(std::max<int>(width, geometry->width), std::max<int>(height, geometry->height))) {
        return false;
    }
    auto configured = owned(xcb_randr_set_crtc_config_reply(
        connection_,
        xcb_randr_set_crtc_config(connection_, crtc, XCB_CURRENT_TIME, resources->config_timestamp,
                                  0, 0, mode, XCB_RANDR_ROTATION_ROTATE_0, 1, &output),
        nullptr));
    if (!configured || configured->status != XCB_RANDR_SET_CONFIG_SUCCESS) return false;
    return setSize(width, height);
}

bool X11TestScreens::resizeRootAlone(int width, int height) {
    auto resources = owned(xcb_randr_get_screen_resources_current_reply(
        connection_, xcb_randr_get_screen_resources_current(connection_, root_), nullptr));
    if (!resources) return false;
    const auto* crtcs = xcb_randr_get_screen_resources_current_crtcs(resources.get());
    for (int index = 0; index < resources->num_crtcs; ++index) {
        auto off = owned(xcb_randr_set_crtc_config_reply(
            connection_,
            xcb_randr_set_crtc_config(connection_, crtcs[index], XCB_CURRENT_TIME,
                                      resources->config_timestamp, 0, 0, XCB_NONE,
                                      XCB_RANDR_ROTATION_ROTATE_0, 0, nullptr),
            nullptr));
        if (!off || off->status != XCB_RANDR_SET_CONFIG_SUCCESS) return false;
    }
    return succeeded(connection_, xcb_randr_set_screen_size_checked(
                                      connection_, root_, static_cast<std::uint16_t>(width),
                                      static_cast<std::uint16_t>(height), millimetres(width),
                                      millimetres(height)));
}

}  // namespace talvori::testing
