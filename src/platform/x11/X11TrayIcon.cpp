#include "platform/x11/X11TrayIcon.hpp"

#include <cairo-xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/freedesktop/StatusIcon.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

constexpr std::uint32_t kRequestDock = 0;
constexpr std::uint32_t kXembedMapped = 1;
// Trays size their icons themselves; without a minimum some give a window one pixel wide.
constexpr std::uint32_t kMinimumSize = 16;
constexpr std::uint16_t kPreferredSize = 22;
constexpr std::uint32_t kPMinSize = 1 << 4;
constexpr std::uint32_t kPBaseSize = 1 << 8;
// Trays take an icon in within milliseconds; one that has not shown it seconds later never will.
constexpr double kTakingTime = 3.0;
// Trays nest their slots a few windows deep at most.
constexpr int kDeepestSlot = 8;

Color colorOfPixel(std::uint32_t pixel, const xcb_visualtype_t* visual) {
    auto channel = [pixel](std::uint32_t mask) {
        if (mask == 0) return 0.0;
        const int shift = __builtin_ctz(mask);
        return static_cast<double>((pixel & mask) >> shift) / static_cast<double>(mask >> shift);
    };
    if (!visual) return Color::black();
    return {channel(visual->red_mask), channel(visual->green_mask), channel(visual->blue_mask), 1};
}

// The pixel seen most in a 32-bit image of (left, top)-(right, bottom) on the screen, outside
// `inner`.
std::optional<std::uint32_t> mostCommonPixel(const std::uint8_t* data, int left, int top, int right,
                                             int bottom, const RootRect& inner) {
    std::map<std::uint32_t, int> counts;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const bool inside = x >= inner.x && x < inner.x + static_cast<int>(inner.width) &&
                                y >= inner.y && y < inner.y + static_cast<int>(inner.height);
            if (inside) continue;
            std::uint32_t pixel = 0;
            std::memcpy(&pixel, data + ((y - top) * (right - left) + (x - left)) * 4, 4);
            ++counts[pixel & 0xFFFFFF];
        }
    }
    if (counts.empty()) return std::nullopt;
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
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
        "_NET_SYSTEM_TRAY_OPCODE", "_NET_SYSTEM_TRAY_VISUAL", "_NET_SYSTEM_TRAY_COLORS",
        "_XEMBED_INFO"};
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
    const xcb_window_t tray = trayOwner();
    if (tray != XCB_WINDOW_NONE && tray != refusingTray_) dock(tray);
}

xcb_window_t X11TrayIcon::trayOwner() const {
    xcb_connection_t* raw = connection_->raw();
    auto owner = waitReply(xcb_get_selection_owner_reply, raw,
                           xcb_get_selection_owner(raw, atoms_[kSelection]));
    return owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
}

// ---- Docking

xcb_visualid_t X11TrayIcon::trayVisual(xcb_get_property_cookie_t asked) const {
    const auto value = propertyReply(connection_->raw(), asked);
    const auto visual = value ? value->cardinal() : std::nullopt;
    // Only a 32-bit visual changes anything: the one we know, with its colormap.
    if (visual && *visual == connection_->argbVisual()) return *visual;
    return connection_->screen().root_visual;
}

std::optional<Color> X11TrayIcon::trayForeground() const {
    xcb_connection_t* raw = connection_->raw();
    auto reply =
        waitReply(xcb_get_property_reply, raw,
                  xcb_get_property(raw, 0, tray_, atoms_[kColors], XCB_ATOM_CARDINAL, 0, 3));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 12) {
        return std::nullopt;
    }
    // The foreground first, 16 bits a channel.
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    auto channel = [](std::uint32_t value) { return std::min(value, 0xFFFFU) / 65535.0; };
    return Color{channel(values[0]), channel(values[1]), channel(values[2]), 1};
}

void X11TrayIcon::dock(xcb_window_t tray) {
    undock();
    xcb_connection_t* raw = connection_->raw();
    tray_ = tray;
    // Asked together, one wait for both answers; the colour is read once its changes are heard.
    const auto attributes = xcb_get_window_attributes(raw, tray);
    const auto visual = requestProperty(raw, tray, atoms_[kVisual], 1);
    watchTray(attributes);
    visual_ = trayVisual(visual);
    trayForeground_ = trayForeground();
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
    // Some trays read the window's pixels as soon as they take it and drop one they find empty.
    paint();
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = tray;
    message.type = atoms_[kOpcode];
    message.data.data32[0] = connection_->lastTime();
    message.data.data32[1] = kRequestDock;
    message.data.data32[2] = window_;
    xcb_send_event(raw, 0, tray, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    const unsigned request = ++requests_;
    platform().runLoop().runAfter(
        kTakingTime,
        weakly(weak_from_this(), [request](X11TrayIcon& self) { self.checkTaken(request); }));
}

// The tray announces a change of theme by its properties: the colour it asks icons to draw in.
// Other masks of ours on that window stay as they are.
void X11TrayIcon::watchTray(xcb_get_window_attributes_cookie_t asked) {
    xcb_connection_t* raw = connection_->raw();
    auto attributes = waitReply(xcb_get_window_attributes_reply, raw, asked);
    if (!attributes) return;
    const std::uint32_t events = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(raw, tray_, XCB_CW_EVENT_MASK, &events);
}

void X11TrayIcon::checkTaken(unsigned request) {
    if (request == requests_ && window_ != XCB_WINDOW_NONE && !isVisible()) refused();
}

// Left as it is, the window could stay mapped where the tray put it aside, seen by nobody and yet
// taking clicks: it goes, and the item shows as without a tray.
void X11TrayIcon::refused() {
    log_.log(
        "The system tray (window 0x%{public}x) did not show the status icon; it is not "
        "offered there again",
        tray_);
    refusingTray_ = tray_;
    undock();
}

// Trays that show icons through a copy of their pixels keep the window itself in a container of
// their own, fully transparent (and stacked below everything), where it would still take clicks.
bool X11TrayIcon::isShownIn(xcb_window_t parent) const {
    xcb_connection_t* raw = connection_->raw();
    const xcb_atom_t opacity = connection_->atom(Atom::_NET_WM_WINDOW_OPACITY);
    for (int depth = 0; depth < kDeepestSlot && parent != XCB_WINDOW_NONE; ++depth) {
        if (parent == connection_->root()) return true;
        const auto tree = xcb_query_tree(raw, parent);
        const auto value = propertyReply(raw, requestProperty(raw, parent, opacity, 1));
        if (value && value->cardinal() == 0U) return false;
        auto reply = waitReply(xcb_query_tree_reply, raw, tree);
        if (!reply) return false;
        parent = reply->parent;
    }
    return false;
}

// A slot of another depth than the window it sits in cannot show that window's background
// through: trays leave such a slot undrawn, and whatever was on the screen before stays there.
bool X11TrayIcon::isOpaqueSlot(xcb_window_t slot) const {
    xcb_connection_t* raw = connection_->raw();
    const auto slotGeometry = xcb_get_geometry(raw, slot);
    auto tree = waitReply(xcb_query_tree_reply, raw, xcb_query_tree(raw, slot));
    auto own = waitReply(xcb_get_geometry_reply, raw, slotGeometry);
    if (!tree || !own || tree->parent == connection_->root()) return false;
    auto outer = waitReply(xcb_get_geometry_reply, raw, xcb_get_geometry(raw, tree->parent));
    return outer && outer->depth != own->depth;
}

// The colour the screen shows most in a ring one pixel wide around the icon: the tray's own
// background beside the slot.
std::optional<std::uint32_t> X11TrayIcon::pixelAround() const {
    const auto rect = rootRect();
    if (!rect) return std::nullopt;
    const auto& screen = connection_->screen();
    const int left = std::max(0, rect->x - 1);
    const int top = std::max(0, rect->y - 1);
    const int right = std::min<int>(screen.width_in_pixels, rect->x + width_ + 1);
    const int bottom = std::min<int>(screen.height_in_pixels, rect->y + height_ + 1);
    if (right <= left || bottom <= top) return std::nullopt;
    xcb_connection_t* raw = connection_->raw();
    auto image =
        waitReply(xcb_get_image_reply, raw,
                  xcb_get_image(raw, XCB_IMAGE_FORMAT_Z_PIXMAP, connection_->root(),
                                static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                                static_cast<std::uint16_t>(right - left),
                                static_cast<std::uint16_t>(bottom - top), ~std::uint32_t{0}));
    const int columns = right - left;
    if (!image || xcb_get_image_data_length(image.get()) < columns * (bottom - top) * 4) {
        return std::nullopt;
    }
    return mostCommonPixel(xcb_get_image_data(image.get()), left, top, right, bottom, *rect);
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
    if (window_ == XCB_WINDOW_NONE || width_ == 0 || height_ == 0) return;
    xcb_connection_t* raw = connection_->raw();
    if (translucent_) {
        // The picture is the window's background: there before the window is first shown, and
        // drawn again by the server whenever it is exposed.
        const xcb_pixmap_t pixmap = xcb_generate_id(raw);
        xcb_create_pixmap(raw, 32, pixmap, window_, width_, height_);
        drawInto(pixmap, tint());
        xcb_change_window_attributes(raw, window_, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_free_pixmap(raw, pixmap);
        xcb_clear_area(raw, 0, window_, 0, 0, 0, 0);
        return;
    }
    // An opaque window shows the tray's background through it; what is drawn on it before it
    // is shown is lost.
    if (!isVisible()) return;
    if (opaqueSlot_) {
        if (const auto pixel = pixelAround()) {
            xcb_change_window_attributes(raw, window_, XCB_CW_BACK_PIXEL, &*pixel);
        }
    }
    const Color chosen = tint();
    xcb_clear_area(raw, 0, window_, 0, 0, 0, 0);
    drawInto(window_, chosen);
}

Color X11TrayIcon::tint() {
    if (trayForeground_) return *trayForeground_;
    if (const auto seen = tintFromBackground()) return *seen;
    return handlers_.themeTint ? handlers_.themeTint() : freedesktop::StatusIcon::kLightTint;
}

// The tray's background under the whole icon, as the screen shows it: a panel may be a gradient,
// a picture, or lighter at its edges.
std::optional<Color> X11TrayIcon::tintFromBackground() {
    if (!isVisible()) return std::nullopt;
    xcb_connection_t* raw = connection_->raw();
    xcb_drawable_t source = window_;
    std::int16_t x = 0;
    std::int16_t y = 0;
    xcb_visualid_t visual = visual_;
    if (translucent_) {
        // The window lets the tray show through: the screen there is the tray's background,
        // but for the icon's own pixels.
        const auto rect = rootRect();
        if (!rect) return std::nullopt;
        source = connection_->root();
        x = static_cast<std::int16_t>(rect->x);
        y = static_cast<std::int16_t>(rect->y);
        visual = connection_->screen().root_visual;
    } else {
        // Cleared, the window shows the tray's background alone.
        xcb_clear_area(raw, 0, window_, 0, 0, 0, 0);
    }
    const xcb_visualtype_t* type = connection_->visualType(visual);
    auto image = waitReply(xcb_get_image_reply, raw,
                           xcb_get_image(raw, XCB_IMAGE_FORMAT_Z_PIXMAP, source, x, y, width_,
                                         height_, ~std::uint32_t{0}));
    const std::size_t count = std::size_t{width_} * height_;
    if (!type || !image || xcb_get_image_data_length(image.get()) < static_cast<int>(count * 4)) {
        return std::nullopt;
    }
    const auto covered = translucent_ && image_
                             ? freedesktop::StatusIcon::coverage(*image_, width_, height_)
                             : std::vector<bool>(count, false);
    std::vector<Color> background;
    background.reserve(count);
    const std::uint8_t* data = xcb_get_image_data(image.get());
    for (std::size_t index = 0; index < count; ++index) {
        if (covered[index]) continue;
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, data + index * 4, 4);
        background.push_back(colorOfPixel(pixel, type));
    }
    if (background.empty()) return std::nullopt;
    return freedesktop::StatusIcon::tintOver(background);
}

void X11TrayIcon::drawInto(xcb_drawable_t drawable, const Color& tint) {
    xcb_connection_t* raw = connection_->raw();
    xcb_visualtype_t* type = connection_->visualType(visual_);
    if (!type) return;
    cairo_surface_t* surface = cairo_xcb_surface_create(raw, drawable, type, width_, height_);
    cairo_t* context = cairo_create(surface);
    if (translucent_) {
        cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(context, 0, 0, 0, 0);
        cairo_paint(context);
        cairo_set_operator(context, CAIRO_OPERATOR_OVER);
    }
    const double side = std::min(width_, height_);
    if (image_) {
        freedesktop::StatusIcon::draw(
            context, *image_, Rect((width_ - side) / 2, (height_ - side) / 2, side, side), tint);
    }
    cairo_destroy(context);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

// ---- Events

void X11TrayIcon::selectionOwnerChanged(const xcb_xfixes_selection_notify_event_t& notify) {
    if (notify.selection != atoms_[kSelection] || !wanted_) return;
    // A new tray, or none: what was docked went with the old one.
    if (notify.owner == XCB_WINDOW_NONE) {
        undock();
        refusingTray_ = XCB_WINDOW_NONE;
    } else if (notify.owner != tray_ && notify.owner != refusingTray_) {
        dock(notify.owner);
    }
}

void X11TrayIcon::trayColorsChanged(const xcb_property_notify_event_t& property) {
    if (window_ == XCB_WINDOW_NONE || property.window != tray_ || property.atom != atoms_[kColors])
        return;
    trayForeground_ = trayForeground();
    paint();
}

void X11TrayIcon::reparentNotified(const xcb_reparent_notify_event_t& reparent) {
    if (window_ == XCB_WINDOW_NONE || reparent.window != window_) return;
    if (reparent.parent == connection_->root()) {
        // The tray let go of us (it is ending): a stray icon must not show on the desktop.
        xcb_unmap_window(connection_->raw(), window_);
        setDocked(false, false);
    } else {
        opaqueSlot_ = isOpaqueSlot(reparent.parent);
        setDocked(isShownIn(reparent.parent), mapped_);
    }
}

void X11TrayIcon::mapped(const xcb_map_notify_event_t& map) {
    if (window_ == XCB_WINDOW_NONE || map.window != window_) return;
    setDocked(docked_, true);
    paint();
}

void X11TrayIcon::unmapped(const xcb_unmap_notify_event_t& unmap) {
    if (window_ == XCB_WINDOW_NONE || unmap.window != window_) return;
    setDocked(docked_, false);
}

void X11TrayIcon::configureNotified(const xcb_configure_notify_event_t& configure) {
    if (window_ == XCB_WINDOW_NONE || configure.window != window_) return;
    if (configure.width == width_ && configure.height == height_) return;
    width_ = configure.width;
    height_ = configure.height;
    paint();
}

void X11TrayIcon::exposed(const xcb_expose_event_t& expose) {
    if (window_ != XCB_WINDOW_NONE && expose.window == window_ && expose.count == 0) paint();
}

void X11TrayIcon::buttonPressed(const xcb_button_press_event_t& press) {
    // Any of the three buttons: the icon has one action, and a click that does nothing looks like
    // a broken icon.
    if (window_ == XCB_WINDOW_NONE || press.event != window_ || press.detail < 1 ||
        press.detail > 3)
        return;
    connection_->noteTime(press.time);
    // The action may drop the item that holds us.
    auto self = shared_from_this();
    if (handlers_.click) handlers_.click();
}

}  // namespace talvori::x11
