#include "platform/x11/X11OpacityProbe.hpp"

#include <cstring>

#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11Connection.hpp"

namespace talvori::x11 {

X11OpacityProbe::X11OpacityProbe(std::shared_ptr<X11Connection> connection,
                                 std::weak_ptr<RunLoop> loop, std::function<void()> changed)
    : connection_(std::move(connection)), loop_(std::move(loop)), changed_(std::move(changed)) {}

X11OpacityProbe::~X11OpacityProbe() {
    if (window_ != XCB_WINDOW_NONE) xcb_destroy_window(connection_->raw(), window_);
}

void X11OpacityProbe::start() {
    attempts_ = 0;
    begin();
}

void X11OpacityProbe::begin() {
    ++looks_;
    if (window_ != XCB_WINDOW_NONE) {
        xcb_destroy_window(connection_->raw(), window_);
        window_ = XCB_WINDOW_NONE;
    }
    if (!connection_->hasCompositor()) {
        conclude(false);
        return;
    }
    readPixel([](X11OpacityProbe& self, std::optional<Pixel> before) {
        if (!before) {
            self.conclude(false);
            return;
        }
        self.showProbe(*before);
    });
}

void X11OpacityProbe::readPixel(std::function<void(X11OpacityProbe&, std::optional<Pixel>)> then) {
    const xcb_screen_t& screen = connection_->screen();
    const auto x = static_cast<std::int16_t>(screen.width_in_pixels - 1);
    const auto y = static_cast<std::int16_t>(screen.height_in_pixels - 1);
    connection_->whenReplied<xcb_get_image_reply_t>(
        xcb_get_image(connection_->raw(), XCB_IMAGE_FORMAT_Z_PIXMAP, screen.root, x, y, 1, 1, ~0U),
        weakly(weak_from_this(),
               [look = looks_, then](X11OpacityProbe& self, Reply<xcb_get_image_reply_t> image) {
                   if (look != self.looks_) return;
                   std::optional<Pixel> pixel;
                   if (image) {
                       const std::uint8_t* data = xcb_get_image_data(image.get());
                       pixel.emplace(data, data + xcb_get_image_data_length(image.get()));
                   }
                   then(self, std::move(pixel));
               }));
}

void X11OpacityProbe::showProbe(const Pixel& before) {
    xcb_connection_t* raw = connection_->raw();
    const xcb_screen_t& screen = connection_->screen();
    std::uint32_t shown = 0;
    std::memcpy(&shown, before.data(), std::min<std::size_t>(before.size(), sizeof shown));
    // The opposite colour: whatever the screen shows there, ours differs from it.
    const std::uint32_t ours = ~shown & 0xFFFFFF;
    window_ = xcb_generate_id(raw);
    const std::uint32_t values[] = {ours, 1};
    xcb_create_window(raw, XCB_COPY_FROM_PARENT, window_, screen.root,
                      static_cast<std::int16_t>(screen.width_in_pixels - 1),
                      static_cast<std::int16_t>(screen.height_in_pixels - 1), 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    setOpacity(0);
    xcb_map_window(raw, window_);
    const auto is = [ours](const std::optional<Pixel>& pixel) {
        std::uint32_t value = 0;
        if (!pixel || pixel->empty()) return false;
        std::memcpy(&value, pixel->data(), std::min<std::size_t>(pixel->size(), sizeof value));
        return (value & 0xFFFFFF) == ours;
    };
    lookLater([before, is](X11OpacityProbe& self, std::optional<Pixel> hidden) {
        // Ours shows at opacity 0 also while a compositor that has just started does not yet
        // paint every window itself: anything but the screen as it was is looked at again.
        if (hidden != before) {
            self.retry();
            return;
        }
        self.setOpacity(0xFFFFFFFF);
        self.lookLater([is](X11OpacityProbe& later, std::optional<Pixel> visible) {
            if (is(visible)) {
                later.conclude(true);
            } else {
                // Not shown yet (a busy compositor), or the screen changed there meanwhile.
                later.retry();
            }
        });
    });
}

void X11OpacityProbe::retry() {
    if (++attempts_ >= kAttempts) {
        conclude(false);
        return;
    }
    begin();
}

void X11OpacityProbe::setOpacity(std::uint32_t opacity) {
    xcb_change_property(connection_->raw(), XCB_PROP_MODE_REPLACE, window_,
                        connection_->atom(Atom::_NET_WM_WINDOW_OPACITY), XCB_ATOM_CARDINAL, 32, 1,
                        &opacity);
    xcb_flush(connection_->raw());
}

void X11OpacityProbe::lookLater(std::function<void(X11OpacityProbe&, std::optional<Pixel>)> then) {
    auto loop = loop_.lock();
    if (!loop) return;
    // A busy compositor is given longer at each attempt.
    loop->runAfter(kLookDelay * (1 + attempts_),
                   weakly(weak_from_this(), [look = looks_, then](X11OpacityProbe& self) {
                       if (look == self.looks_) self.readPixel(then);
                   }));
}

void X11OpacityProbe::conclude(bool honoured) {
    if (window_ != XCB_WINDOW_NONE) {
        xcb_destroy_window(connection_->raw(), window_);
        window_ = XCB_WINDOW_NONE;
    }
    if (honoured_ == honoured) return;
    honoured_ = honoured;
    if (changed_) changed_();
}

}  // namespace talvori::x11
