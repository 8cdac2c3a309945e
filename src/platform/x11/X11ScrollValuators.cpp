#include "platform/x11/X11ScrollValuators.hpp"

#include <algorithm>
#include <bit>
#include <utility>

#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

double toDouble(const xcb_input_fp3232_t& value) {
    return value.integral + static_cast<double>(value.frac) / 4294967296.0;
}

}  // namespace

X11ScrollValuators::X11ScrollValuators(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {}

std::optional<double> X11ScrollValuators::verticalNotches(const xcb_input_motion_event_t& motion) {
    Axes& axes = axesOf(motion.sourceid);
    if (axes.empty()) return std::nullopt;
    const std::uint32_t* mask = xcb_input_button_press_valuator_mask(&motion);
    const xcb_input_fp3232_t* values = xcb_input_button_press_axisvalues(&motion);
    std::optional<double> notches;
    int index = 0;
    for (std::uint16_t word = 0; word < motion.valuators_len; ++word) {
        for (std::uint32_t bits = mask[word]; bits; bits &= bits - 1) {
            const auto number = static_cast<std::uint16_t>(word * 32 + std::countr_zero(bits));
            const double value = toDouble(values[index++]);
            const auto axis = std::find_if(axes.begin(), axes.end(),
                                           [&](const Axis& one) { return one.number == number; });
            if (axis == axes.end()) continue;
            // A position first seen gives no distance: where it was before is unknown.
            if (axis->position)
                notches = notches.value_or(0) + (value - *axis->position) / axis->increment;
            axis->position = value;
        }
    }
    return notches;
}

bool X11ScrollValuators::scrollsSmoothly(std::uint16_t device) {
    return !axesOf(device).empty();
}

void X11ScrollValuators::reload() {
    const bool anyScrolls = std::any_of(devices_.begin(), devices_.end(),
                                        [](const auto& device) { return !device.second.empty(); });
    if (anyScrolls) devices_ = query(XCB_INPUT_DEVICE_ALL);
}

X11ScrollValuators::Axes& X11ScrollValuators::axesOf(std::uint16_t device) {
    if (const auto found = devices_.find(device); found != devices_.end()) return found->second;
    auto queried = query(device);
    return devices_[device] = std::move(queried[device]);
}

std::map<std::uint16_t, X11ScrollValuators::Axes> X11ScrollValuators::query(
    std::uint16_t device) const {
    std::map<std::uint16_t, Axes> devices;
    xcb_connection_t* raw = connection_->raw();
    const auto reply =
        waitReply(xcb_input_xi_query_device_reply, raw, xcb_input_xi_query_device(raw, device));
    if (!reply) return devices;
    for (auto info = xcb_input_xi_query_device_infos_iterator(reply.get()); info.rem;
         xcb_input_xi_device_info_next(&info)) {
        Axes& axes = devices[info.data->deviceid];
        std::map<std::uint16_t, double> positions;
        for (auto each = xcb_input_xi_device_info_classes_iterator(info.data); each.rem;
             xcb_input_device_class_next(&each)) {
            if (each.data->type == XCB_INPUT_DEVICE_CLASS_TYPE_VALUATOR) {
                const auto& valuator =
                    *reinterpret_cast<const xcb_input_valuator_class_t*>(each.data);
                positions[valuator.number] = toDouble(valuator.value);
            } else if (each.data->type == XCB_INPUT_DEVICE_CLASS_TYPE_SCROLL) {
                const auto& scroll = *reinterpret_cast<const xcb_input_scroll_class_t*>(each.data);
                const double increment = toDouble(scroll.increment);
                if (scroll.scroll_type == XCB_INPUT_SCROLL_TYPE_VERTICAL && increment != 0)
                    axes.push_back({scroll.number, increment, std::nullopt});
            }
        }
        for (Axis& axis : axes) {
            if (const auto found = positions.find(axis.number); found != positions.end())
                axis.position = found->second;
        }
    }
    return devices;
}

}  // namespace talvori::x11
