#include "platform/x11/X11StackingProbe.hpp"

#include <sys/uio.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11SceneWindowHints.hpp"

namespace talvori::x11 {

namespace {

// Mutter paints a window of two pixels a shade off its colour, yet never near another of ours.
bool isNearly(std::uint32_t shown, std::uint32_t color) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference =
            static_cast<int>((shown >> shift) & 0xFF) - static_cast<int>((color >> shift) & 0xFF);
        if (std::abs(difference) > 0x10) return false;
    }
    return true;
}

}  // namespace

X11StackingProbe::X11StackingProbe(std::shared_ptr<X11Connection> connection,
                                   std::weak_ptr<RunLoop> loop, FrameOf frameOf,
                                   std::function<void(bool between)> concluded)
    : connection_(std::move(connection)),
      loop_(std::move(loop)),
      frameOf_(std::move(frameOf)),
      concluded_(std::move(concluded)) {}

X11StackingProbe::~X11StackingProbe() {
    destroyWindows();
}

void X11StackingProbe::start() {
    attempts_ = 0;
    agreeing_ = 0;
    unsettledLooks_ = 0;
    looking_ = true;
    fetchDesktopFacts();
    begin();
}

void X11StackingProbe::fetchDesktopFacts() {
    xcb_connection_t* raw = connection_->raw();
    if (!compositeOpcode_) {
        connection_->whenReplied<xcb_query_extension_reply_t>(
            xcb_query_extension(raw, 9, "Composite"),
            weakly(weak_from_this(),
                   [](X11StackingProbe& self, Reply<xcb_query_extension_reply_t> extension) {
                       self.compositeOpcode_ =
                           extension && extension->present ? extension->major_opcode : 0;
                   }));
    }
    // Such a window manager takes a request to stand below a window as one to stand below all.
    connection_->whenReplied<xcb_get_property_reply_t>(
        requestProperty(raw, connection_->root(), connection_->atom(Atom::_NET_SUPPORTING_WM_CHECK),
                        1),
        weakly(weak_from_this(), [](X11StackingProbe& self, Reply<xcb_get_property_reply_t> check) {
            const auto value = propertyValue(check.get());
            const auto window = value ? value->cardinal() : std::nullopt;
            self.managerLowersToTheBottom_ = false;
            if (!window) return;
            self.connection_->whenReplied<xcb_get_property_reply_t>(
                requestProperty(self.connection_->raw(), *window,
                                self.connection_->atom(Atom::_NET_WM_NAME), 64),
                weakly(self.weak_from_this(),
                       [](X11StackingProbe& probe, Reply<xcb_get_property_reply_t> name) {
                           const auto text = propertyValue(name.get());
                           probe.managerLowersToTheBottom_ = text && text->text() == "Openbox";
                       }));
        }));
}

void X11StackingProbe::begin() {
    ++looks_;
    destroyWindows();
    // Without a compositor the server's stacking order is what the screen shows.
    if (!connection_->hasCompositor()) {
        conclude(true);
        return;
    }
    // The corner of the work area: no desktop panel stands over it.
    xcb_connection_t* raw = connection_->raw();
    connection_->whenReplied<xcb_get_property_reply_t>(
        requestProperty(raw, connection_->root(), connection_->atom(Atom::_NET_WORKAREA), 4),
        weakly(weak_from_this(),
               [look = looks_](X11StackingProbe& self, Reply<xcb_get_property_reply_t> area) {
                   if (look != self.looks_) return;
                   const auto value = propertyValue(area.get());
                   const auto corner = value ? value->cardinals() : std::vector<std::uint32_t>{};
                   self.showManagedAt(
                       {corner.size() >= 2 ? static_cast<std::int32_t>(corner[0]) : 0,
                        corner.size() >= 2 ? static_cast<std::int32_t>(corner[1]) : 0, 1, 2});
               }));
    xcb_flush(raw);
}

void X11StackingProbe::showManagedAt(const RootRect& at) {
    xcb_connection_t* raw = connection_->raw();
    const xcb_screen_t& screen = connection_->screen();
    managed_ = xcb_generate_id(raw);
    const std::uint32_t color[] = {kManagedColor};
    xcb_create_window(raw, XCB_COPY_FROM_PARENT, managed_, screen.root,
                      static_cast<std::int16_t>(at.x), static_cast<std::int16_t>(at.y),
                      static_cast<std::uint16_t>(at.width), static_cast<std::uint16_t>(at.height),
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual, XCB_CW_BACK_PIXEL,
                      color);
    X11SceneWindowHints::applyStacked(*connection_, managed_, at);
    // Above the other programs' windows, which would hide both.
    const xcb_atom_t states[] = {connection_->atom(Atom::_NET_WM_STATE_SKIP_TASKBAR),
                                 connection_->atom(Atom::_NET_WM_STATE_SKIP_PAGER),
                                 connection_->atom(Atom::_NET_WM_STATE_STICKY),
                                 connection_->atom(Atom::_NET_WM_STATE_ABOVE)};
    xcb_change_property(raw, XCB_PROP_MODE_REPLACE, managed_,
                        connection_->atom(Atom::_NET_WM_STATE), XCB_ATOM_ATOM, 32, 4, states);
    xcb_map_window(raw, managed_);
    xcb_flush(raw);
    later([](X11StackingProbe& self) { self.placeOwnBelowFrame(); });
}

void X11StackingProbe::placeOwnBelowFrame() {
    xcb_connection_t* raw = connection_->raw();
    // Both asked at once; the second answer comes after the first.
    const auto viewable = std::make_shared<bool>(false);
    connection_->whenReplied<xcb_get_window_attributes_reply_t>(
        xcb_get_window_attributes(raw, managed_),
        [viewable](Reply<xcb_get_window_attributes_reply_t> attributes) {
            *viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        });
    connection_->whenReplied<xcb_translate_coordinates_reply_t>(
        xcb_translate_coordinates(raw, managed_, connection_->root(), 0, 0),
        weakly(weak_from_this(),
               [look = looks_, viewable](X11StackingProbe& self,
                                         Reply<xcb_translate_coordinates_reply_t> origin) {
                   if (look != self.looks_) return;
                   const xcb_window_t frame = self.frameOf_(self.managed_);
                   // Not managed yet: a busy window manager.
                   if (!*viewable || !origin || frame == XCB_WINDOW_NONE) {
                       if (self.retry())
                           self.later([](X11StackingProbe& probe) { probe.placeOwnBelowFrame(); });
                       return;
                   }
                   self.placeOwnBelow(frame, origin->dst_x, origin->dst_y);
               }));
    xcb_flush(raw);
}

void X11StackingProbe::placeOwnBelow(xcb_window_t frame, std::int16_t x, std::int16_t y) {
    xcb_connection_t* raw = connection_->raw();
    const xcb_window_t root = connection_->root();
    own_ = xcb_generate_id(raw);
    const std::uint32_t values[] = {kOwnColor, 1};
    xcb_create_window(raw, XCB_COPY_FROM_PARENT, own_, root, x, y, kUncoveredOwnPixel + 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, connection_->screen().root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    const std::uint32_t below[] = {frame, XCB_STACK_MODE_BELOW};
    xcb_configure_window(raw, own_, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                         below);
    xcb_map_window(raw, own_);
    // Painted after ours was stacked: whatever shows this colour shows the order with ours in it.
    const std::uint32_t placed[] = {kManagedPlacedColor};
    xcb_change_window_attributes(raw, managed_, XCB_CW_BACK_PIXEL, placed);
    xcb_clear_area(raw, 0, managed_, 0, 0, 0, 0);
    xcb_flush(raw);
    later([x, y](X11StackingProbe& self) { self.look(x, y); });
}

void X11StackingProbe::look(std::int16_t x, std::int16_t y) {
    // One picture for all three pixels: what the compositor painted at one moment.
    connection_->whenReplied<xcb_get_image_reply_t>(
        xcb_get_image(connection_->raw(), XCB_IMAGE_FORMAT_Z_PIXMAP, connection_->root(), x, y,
                      kUncoveredOwnPixel + 1, 2, ~0U),
        weakly(weak_from_this(),
               [look = looks_, x, y](X11StackingProbe& self, Reply<xcb_get_image_reply_t> image) {
                   if (look != self.looks_) return;
                   const auto shown = [&](int column, int row) {
                       std::uint32_t pixel = 0;
                       const int at = (row * (kUncoveredOwnPixel + 1) + column) * 4;
                       if (image && xcb_get_image_data_length(image.get()) >= at + 4) {
                           std::memcpy(&pixel, xcb_get_image_data(image.get()) + at, sizeof pixel);
                       }
                       return pixel & 0xFFFFFF;
                   };
                   // Either window missing from the picture leaves the other showing over
                   // nothing: no answer.
                   const bool bothShown = shown(kUncoveredOwnPixel, 0) == kOwnColor &&
                                          isNearly(shown(0, 1), kManagedPlacedColor);
                   const std::uint32_t where = shown(0, 0);
                   if (bothShown && (where == kManagedPlacedColor || where == kOwnColor)) {
                       self.seen(where == kManagedPlacedColor, x, y);
                   } else if (self.retry()) {
                       // Not painted since ours was placed, still fading in, or covered meanwhile.
                       self.later([x, y](X11StackingProbe& probe) { probe.look(x, y); });
                   }
               }));
}

void X11StackingProbe::seen(bool between, std::int16_t x, std::int16_t y) {
    if (!between) {
        conclude(false);
        return;
    }
    if (++agreeing_ >= 2) {
        checkCompositorRedirectsOwn([x, y](X11StackingProbe& self, bool redirects) {
            if (redirects) {
                self.conclude(true);
            } else if (self.retry()) {
                // The compositor owns the screen but does not paint it yet.
                self.agreeing_ = 0;
                self.later([x, y](X11StackingProbe& probe) { probe.look(x, y); });
            }
        });
        return;
    }
    // The same windows looked at again: nothing new for the window manager to stack meanwhile.
    later([x, y](X11StackingProbe& self) { self.look(x, y); }, kConfirmDelay);
}

// A second client asking to paint a window off-screen itself is refused while a compositor does
// so: the request answers without taking the window's painting over from anyone. Composite's
// two requests are sent by hand rather than through one more library.
void X11StackingProbe::checkCompositorRedirectsOwn(
    std::function<void(X11StackingProbe&, bool)> then) {
    // Without the extension there is nothing to paint off-screen: the picture is the answer.
    if (compositeOpcode_.value_or(0) == 0) {
        then(*this, true);
        return;
    }
    constexpr std::uint8_t kRedirectWindow = 1;
    constexpr std::uint8_t kUnredirectWindow = 3;
    constexpr std::uint8_t kManual = 1;
    const auto send = [this](std::uint8_t minor, int flags) {
        struct {
            std::uint8_t major = 0;
            std::uint8_t minor = 0;
            std::uint16_t length = 0;
            std::uint32_t window = 0;
            std::uint8_t update = 0;
            std::uint8_t pad[3] = {};
        } request{.minor = minor, .window = own_, .update = kManual};
        iovec parts[3];
        parts[2].iov_base = &request;
        parts[2].iov_len = sizeof request;
        xcb_protocol_request_t protocol{1, nullptr, *compositeOpcode_, 1};
        return xcb_void_cookie_t{xcb_send_request(connection_->raw(), flags, parts + 2, &protocol)};
    };
    connection_->whenChecked(
        send(kRedirectWindow, XCB_REQUEST_CHECKED),
        weakly(weak_from_this(), [look = looks_, send, then = std::move(then)](
                                     X11StackingProbe& self, std::uint8_t refused) {
            if (look != self.looks_) return;
            // Taken over from nobody: given back at once.
            if (!refused) send(kUnredirectWindow, 0);
            then(self, refused != 0);
        }));
}

bool X11StackingProbe::retry() {
    if (++attempts_ >= (answered_ ? kAttempts : kFirstLookAttempts)) {
        unsettled();
        return false;
    }
    return true;
}

void X11StackingProbe::unsettled() {
    const bool first = !answered_;
    conclude(false);
    // The hasty first look is not counted among the patient ones.
    if (!first && ++unsettledLooks_ >= kUnsettledLooks) return;
    looking_ = true;
    attempts_ = 0;
    agreeing_ = 0;
    later([](X11StackingProbe& self) { self.begin(); },
          first ? kFirstUnsettledDelay : kUnsettledDelay);
}

// A busy window manager or compositor is given longer at each attempt.
void X11StackingProbe::later(std::function<void(X11StackingProbe&)> then, double delay) {
    auto loop = loop_.lock();
    if (!loop) return;
    loop->runAfter(delay, weakly(weak_from_this(), [look = looks_, then](X11StackingProbe& self) {
                       if (look == self.looks_) then(self);
                   }));
}

void X11StackingProbe::destroyWindows() {
    for (xcb_window_t* window : {&managed_, &own_}) {
        if (*window == XCB_WINDOW_NONE) continue;
        xcb_destroy_window(connection_->raw(), *window);
        *window = XCB_WINDOW_NONE;
    }
}

void X11StackingProbe::conclude(bool between) {
    if (!between && managerLowersToTheBottom_) between = true;
    looking_ = false;
    answered_ = true;
    destroyWindows();
    xcb_flush(connection_->raw());
    if (concluded_) concluded_(between);
}

}  // namespace talvori::x11
