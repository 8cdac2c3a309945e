#include "platform/x11/X11TrayIcon.hpp"

#include <cairo-xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11StatusIcon.hpp"

namespace talvori::x11 {

namespace {

constexpr std::uint32_t kRequestDock = 0;
constexpr std::uint32_t kXembedMapped = 1;
// Trays size their icons themselves; without a minimum some give a window one pixel wide.
constexpr std::uint32_t kMinimumSize = 16;
constexpr std::uint16_t kPreferredSize = 22;
constexpr std::uint32_t kPMinSize = 1 << 4;
constexpr std::uint32_t kPBaseSize = 1 << 8;

Color colorOfPixel(std::uint32_t pixel, const xcb_visualtype_t* visual) {
    auto channel = [pixel](std::uint32_t mask) {
        if (mask == 0) return 0.0;
        const int shift = __builtin_ctz(mask);
        return static_cast<double>((pixel & mask) >> shift) / static_cast<double>(mask >> shift);
    };
    if (!visual) return Color::black();
    return {channel(visual->red_mask), channel(visual->green_mask), channel(visual->blue_mask), 1};
}

}  // namespace

X11TrayIcon::X11TrayIcon(std::shared_ptr<X11Connection> connection, Handlers handlers, Logger log)
    : connection_(std::move(connection)), handlers_(std::move(handlers)), log_(std::move(log)) {
    internAtoms();
    // A tray that starts or ends changes the owner of its selection.
    if (connection_->hasXfixes()) {
        xcb_xfixes_select_selection_input(
            connection_->raw(), connection_->root(), atoms_[kSelection],
            XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    }
}

X11TrayIcon::~X11TrayIcon() {
    if (window_ != XCB_WINDOW_NONE && !connection_->isClosed()) {
        xcb_destroy_window(connection_->raw(), window_);
    }
}

void X11TrayIcon::internAtoms() {
    xcb_connection_t* raw = connection_->raw();
    const std::string names[kNameCount] = {
        "_NET_SYSTEM_TRAY_S" + std::to_string(connection_->screenNumber()),
        "_NET_SYSTEM_TRAY_OPCODE", "_NET_SYSTEM_TRAY_VISUAL", "_XEMBED_INFO"};
    xcb_intern_atom_cookie_t cookies[kNameCount];
    for (std::size_t index = 0; index < kNameCount; ++index) {
        cookies[index] = xcb_intern_atom(raw, 0, static_cast<std::uint16_t>(names[index].size()),
                                         names[index].c_str());
    }
    for (std::size_t index = 0; index < kNameCount; ++index) {
        auto reply = waitReply(xcb_intern_atom_reply, raw, cookies[index]);
        atoms_[index] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
}

void X11TrayIcon::setWanted(bool wanted) {
    if (wanted == wanted_) return;
    wanted_ = wanted;
    if (!wanted) {
        undock();
        return;
    }
    if (const xcb_window_t tray = trayOwner(); tray != XCB_WINDOW_NONE) dock(tray);
}

xcb_window_t X11TrayIcon::trayOwner() const {
    xcb_connection_t* raw = connection_->raw();
    auto owner = waitReply(xcb_get_selection_owner_reply, raw,
                           xcb_get_selection_owner(raw, atoms_[kSelection]));
    return owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
}

// ---- Docking

xcb_visualid_t X11TrayIcon::trayVisual(xcb_window_t tray) const {
    xcb_connection_t* raw = connection_->raw();
    const auto value = propertyReply(raw, requestProperty(raw, tray, atoms_[kVisual], 1));
    const auto visual = value ? value->cardinal() : std::nullopt;
    // Only a 32-bit visual changes anything: the one we know, with its colormap.
    if (visual && *visual == connection_->argbVisual()) return *visual;
    return connection_->screen().root_visual;
}

void X11TrayIcon::dock(xcb_window_t tray) {
    undock();
    xcb_connection_t* raw = connection_->raw();
    tray_ = tray;
    visual_ = trayVisual(tray);
    translucent_ = visual_ == connection_->argbVisual() && visual_ != 0;
    window_ = xcb_generate_id(raw);
    width_ = height_ = kPreferredSize;
    const std::uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                 XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE;
    if (translucent_) {
        const std::uint32_t values[] = {0, 0, events, connection_->argbColormap()};
        xcb_create_window(
            raw, 32, window_, connection_->root(), 0, 0, width_, height_, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, visual_,
            XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
    } else {
        // The tray's own background shows through where the icon does not cover it.
        const std::uint32_t values[] = {XCB_BACK_PIXMAP_PARENT_RELATIVE, events};
        xcb_create_window(raw, XCB_COPY_FROM_PARENT, window_, connection_->root(), 0, 0, width_,
                          height_, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
    }
    setProperties();
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = tray;
    message.type = atoms_[kOpcode];
    message.data.data32[0] = connection_->lastTime();
    message.data.data32[1] = kRequestDock;
    message.data.data32[2] = window_;
    xcb_send_event(raw, 0, tray, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
}

void X11TrayIcon::setProperties() {
    xcb_connection_t* raw = connection_->raw();
    const std::uint32_t info[] = {0, kXembedMapped};
    xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window_, atoms_[kXembedInfo],
                        atoms_[kXembedInfo], 32, 2, info);
    std::uint32_t hints[18] = {};
    hints[0] = kPMinSize | kPBaseSize;
    hints[5] = hints[6] = kMinimumSize;
    hints[15] = hints[16] = kPreferredSize;
    xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    constexpr char kClass[] = "talvori\0Talvori";
    xcb_change_property(raw, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof kClass, kClass);
    setLabel(label_);
}

void X11TrayIcon::undock() {
    if (window_ != XCB_WINDOW_NONE) xcb_destroy_window(connection_->raw(), window_);
    window_ = XCB_WINDOW_NONE;
    tray_ = XCB_WINDOW_NONE;
    setDocked(false, false);
}

void X11TrayIcon::setDocked(bool docked, bool mapped) {
    const bool wasVisible = isVisible();
    docked_ = docked;
    mapped_ = mapped;
    if (wasVisible != isVisible() && handlers_.visibilityChanged) handlers_.visibilityChanged();
}

std::optional<RootRect> X11TrayIcon::rootRect() const {
    if (!isVisible()) return std::nullopt;
    xcb_connection_t* raw = connection_->raw();
    auto place = waitReply(xcb_translate_coordinates_reply, raw,
                           xcb_translate_coordinates(raw, window_, connection_->root(), 0, 0));
    if (!place) return std::nullopt;
    return RootRect{place->dst_x, place->dst_y, width_, height_};
}

// ---- Look

void X11TrayIcon::setImage(const std::optional<Image>& image) {
    image_ = image;
    paint();
}

void X11TrayIcon::setLabel(const std::string& label) {
    label_ = label;
    if (window_ == XCB_WINDOW_NONE) return;
    xcb_change_property(connection_->raw(), XCB_PROP_MODE_REPLACE, window_,
                        connection_->atom(Atom::_NET_WM_NAME), connection_->atom(Atom::UTF8_STRING),
                        8, static_cast<std::uint32_t>(label.size()), label.data());
}

void X11TrayIcon::paint() {
    if (!isVisible() || width_ == 0 || height_ == 0) return;
    xcb_connection_t* raw = connection_->raw();
    xcb_visualtype_t* type = connection_->visualType(visual_);
    if (!type) return;
    Color tint = handlers_.themeTint ? handlers_.themeTint() : X11StatusIcon::kLightTint;
    if (!translucent_) {
        // The tray's background, as it shows in our window once cleared, picks the tint.
        xcb_clear_area(raw, 0, window_, 0, 0, 0, 0);
        auto image = waitReply(
            xcb_get_image_reply, raw,
            xcb_get_image(raw, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, 0, 0, 1, 1, ~std::uint32_t{0}));
        if (image && xcb_get_image_data_length(image.get()) >= 4) {
            std::uint32_t pixel = 0;
            std::memcpy(&pixel, xcb_get_image_data(image.get()), 4);
            tint = X11StatusIcon::tintOn(colorOfPixel(pixel, type));
        }
    }
    cairo_surface_t* surface = cairo_xcb_surface_create(raw, window_, type, width_, height_);
    cairo_t* context = cairo_create(surface);
    if (translucent_) {
        cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(context, 0, 0, 0, 0);
        cairo_paint(context);
        cairo_set_operator(context, CAIRO_OPERATOR_OVER);
    }
    const double side = std::min(width_, height_);
    if (image_) {
        X11StatusIcon::draw(context, *image_,
                            Rect((width_ - side) / 2, (height_ - side) / 2, side, side), tint);
    }
    cairo_destroy(context);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

// ---- Events

void X11TrayIcon::handleEvent(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7F;
    if (connection_->hasXfixes() &&
        type == connection_->xfixesFirstEvent() + XCB_XFIXES_SELECTION_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
        if (notify.selection != atoms_[kSelection] || !wanted_) return;
        // A new tray, or none: what was docked went with the old one.
        if (notify.owner == XCB_WINDOW_NONE) {
            undock();
        } else if (notify.owner != tray_) {
            dock(notify.owner);
        }
        return;
    }
    if (window_ == XCB_WINDOW_NONE) return;
    switch (type) {
        case XCB_REPARENT_NOTIFY: {
            const auto& reparent = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
            if (reparent.window != window_) return;
            if (reparent.parent == connection_->root()) {
                // The tray let go of us (it is ending): a stray icon must not show on the desktop.
                xcb_unmap_window(connection_->raw(), window_);
                setDocked(false, false);
            } else {
                setDocked(true, mapped_);
            }
            break;
        }
        case XCB_MAP_NOTIFY:
            if (reinterpret_cast<const xcb_map_notify_event_t&>(event).window != window_) return;
            setDocked(docked_, true);
            paint();
            break;
        case XCB_UNMAP_NOTIFY:
            if (reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window != window_) return;
            setDocked(docked_, false);
            break;
        case XCB_CONFIGURE_NOTIFY: {
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (configure.window != window_) return;
            if (configure.width == width_ && configure.height == height_) return;
            width_ = configure.width;
            height_ = configure.height;
            paint();
            break;
        }
        case XCB_EXPOSE: {
            const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
            if (expose.window == window_ && expose.count == 0) paint();
            break;
        }
        case XCB_BUTTON_PRESS: {
            const auto& press = reinterpret_cast<const xcb_button_press_event_t&>(event);
            if (press.event != window_ || press.detail != 1) return;
            connection_->noteTime(press.time);
            // The action may drop the item that holds us.
            auto self = shared_from_this();
            if (handlers_.click) handlers_.click();
            break;
        }
        default:
            break;
    }
}

}  // namespace talvori::x11
