#include "platform/x11/X11ColorSampler.hpp"

#include <cairo-xcb.h>
#include <xcb/xcb_cursor.h>

#include <algorithm>
#include <cstring>

#include "platform/core/RunLoop.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11KeyCodes.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

constexpr std::uint16_t kEscapeKeyCode = 53;
// A menu another program has open holds the grab until it closes: long enough for that, short
// enough that a stuck grab does not leave the user waiting.
constexpr int kGrabAttempts = 10;
constexpr double kGrabRetrySeconds = 0.05;
constexpr int kLoupeSide = (2 * X11ColorSampler::kLoupeReach + 1) * X11ColorSampler::kLoupeZoom;
// The loupe keeps this far from the pointer, so that it never covers what is picked.
constexpr int kLoupeOffset = 24;

double channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = __builtin_ctz(mask);
    return static_cast<double>((pixel & mask) >> shift) / static_cast<double>(mask >> shift);
}

}  // namespace

X11ColorSampler::X11ColorSampler(std::shared_ptr<X11Connection> connection,
                                 std::shared_ptr<RunLoop> loop, Logger log)
    : connection_(std::move(connection)), loop_(std::move(loop)), log_(std::move(log)) {}

X11ColorSampler::~X11ColorSampler() {
    retry_.clear();
    if (connection_->isClosed()) return;
    xcb_connection_t* raw = connection_->raw();
    if (grabbed_) {
        xcb_ungrab_pointer(raw, XCB_CURRENT_TIME);
        xcb_ungrab_keyboard(raw, XCB_CURRENT_TIME);
    }
    if (loupe_ != XCB_WINDOW_NONE) xcb_destroy_window(raw, loupe_);
    if (crosshair_ != XCB_CURSOR_NONE) xcb_free_cursor(raw, crosshair_);
}

void X11ColorSampler::begin(std::function<void(std::optional<Color>)> handler) {
    if (!handler) return;
    // A sampler already running is answered with nothing before the new one starts.
    if (handler_) finish(std::nullopt);
    handler_ = std::move(handler);
    tryGrab(kGrabAttempts);
}

void X11ColorSampler::tryGrab(int attemptsLeft) {
    if (!handler_) return;
    if (grab()) {
        auto pointer = waitReply(xcb_query_pointer_reply, connection_->raw(),
                                 xcb_query_pointer(connection_->raw(), connection_->root()));
        if (pointer) showLoupe(pointer->root_x, pointer->root_y);
        return;
    }
    if (attemptsLeft <= 1) {
        log_.log("Another program holds the pointer or the keyboard: no colour is picked");
        finish(std::nullopt);
        return;
    }
    retry_.replace(Timer::scheduledTimer(
        *loop_, kGrabRetrySeconds, false,
        weakly(weak_from_this(),
               [attemptsLeft](X11ColorSampler& self) { self.tryGrab(attemptsLeft - 1); }),
        RunLoopMode::common));
}

bool X11ColorSampler::grab() {
    xcb_connection_t* raw = connection_->raw();
    // Now, not the last event's time: a grab older than another program's fails.
    const xcb_timestamp_t time = XCB_CURRENT_TIME;
    auto pointer =
        waitReply(xcb_grab_pointer_reply, raw,
                  xcb_grab_pointer(raw, 0, connection_->root(),
                                   XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                       XCB_EVENT_MASK_POINTER_MOTION,
                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_WINDOW_NONE,
                                   crosshair(), time));
    if (!pointer || pointer->status != XCB_GRAB_STATUS_SUCCESS) return false;
    auto keyboard = waitReply(xcb_grab_keyboard_reply, raw,
                              xcb_grab_keyboard(raw, 0, connection_->root(), time,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    if (!keyboard || keyboard->status != XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_pointer(raw, time);
        return false;
    }
    grabbed_ = true;
    return true;
}

xcb_cursor_t X11ColorSampler::crosshair() {
    if (crosshair_ != XCB_CURSOR_NONE) return crosshair_;
    xcb_cursor_context_t* context = nullptr;
    auto* screen = const_cast<xcb_screen_t*>(&connection_->screen());
    if (xcb_cursor_context_new(connection_->raw(), screen, &context) < 0) return XCB_CURSOR_NONE;
    crosshair_ = xcb_cursor_load_cursor(context, "crosshair");
    xcb_cursor_context_free(context);
    return crosshair_;
}

// ---- The loupe

void X11ColorSampler::showLoupe(std::int16_t x, std::int16_t y) {
    pointerX_ = x;
    pointerY_ = y;
    xcb_connection_t* raw = connection_->raw();
    const xcb_screen_t& screen = connection_->screen();
    // Below and right of the pointer, or on the other side near the screen's edges.
    int left = x + kLoupeOffset;
    int top = y + kLoupeOffset;
    if (left + kLoupeSide > screen.width_in_pixels) left = x - kLoupeOffset - kLoupeSide;
    if (top + kLoupeSide > screen.height_in_pixels) top = y - kLoupeOffset - kLoupeSide;
    if (loupe_ == XCB_WINDOW_NONE) {
        loupe_ = xcb_generate_id(raw);
        const std::uint32_t values[] = {1, XCB_EVENT_MASK_EXPOSURE};
        xcb_create_window(raw, XCB_COPY_FROM_PARENT, loupe_, connection_->root(),
                          static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                          kLoupeSide, kLoupeSide, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK,
                          values);
        xcb_map_window(raw, loupe_);
    } else {
        const std::uint32_t place[] = {static_cast<std::uint32_t>(left),
                                       static_cast<std::uint32_t>(top), XCB_STACK_MODE_ABOVE};
        xcb_configure_window(
            raw, loupe_, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_STACK_MODE,
            place);
    }
    // Motion comes faster than the loupe needs painting: the latest position wins.
    if (paintPending_) return;
    paintPending_ = true;
    loop_->post(weakly(weak_from_this(), [](X11ColorSampler& self) {
        self.paintPending_ = false;
        self.paintLoupe();
    }));
}

void X11ColorSampler::paintLoupe() {
    if (loupe_ == XCB_WINDOW_NONE) return;
    xcb_connection_t* raw = connection_->raw();
    const int side = 2 * kLoupeReach + 1;
    auto image = waitReply(xcb_get_image_reply, raw,
                           xcb_get_image(raw, XCB_IMAGE_FORMAT_Z_PIXMAP, connection_->root(),
                                         static_cast<std::int16_t>(pointerX_ - kLoupeReach),
                                         static_cast<std::int16_t>(pointerY_ - kLoupeReach), side,
                                         side, ~std::uint32_t{0}));
    xcb_visualtype_t* visual = connection_->visualType(connection_->screen().root_visual);
    if (!visual) return;
    cairo_surface_t* surface =
        cairo_xcb_surface_create(raw, loupe_, visual, kLoupeSide, kLoupeSide);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgb(context, 0.5, 0.5, 0.5);
    cairo_paint(context);
    // Pixels off the screen (near its edges) stay grey.
    if (image && xcb_get_image_data_length(image.get()) >= side * side * 4) {
        const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image.get()));
        for (int row = 0; row < side; ++row) {
            for (int column = 0; column < side; ++column) {
                const std::uint32_t pixel = data[row * side + column];
                cairo_set_source_rgb(context, channel(pixel, visual->red_mask),
                                     channel(pixel, visual->green_mask),
                                     channel(pixel, visual->blue_mask));
                cairo_rectangle(context, column * kLoupeZoom, row * kLoupeZoom, kLoupeZoom,
                                kLoupeZoom);
                cairo_fill(context);
            }
        }
    }
    // The pixel a click takes, outlined in black and white to show on any colour.
    const double middle = kLoupeReach * kLoupeZoom;
    cairo_set_line_width(context, 1);
    cairo_set_source_rgb(context, 0, 0, 0);
    cairo_rectangle(context, middle - 0.5, middle - 0.5, kLoupeZoom + 1, kLoupeZoom + 1);
    cairo_stroke(context);
    cairo_set_source_rgb(context, 1, 1, 1);
    cairo_rectangle(context, middle - 1.5, middle - 1.5, kLoupeZoom + 3, kLoupeZoom + 3);
    cairo_stroke(context);
    cairo_rectangle(context, 0.5, 0.5, kLoupeSide - 1, kLoupeSide - 1);
    cairo_stroke(context);
    cairo_destroy(context);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

// ---- Picking

std::optional<Color> X11ColorSampler::pixelAt(std::int16_t x, std::int16_t y) const {
    xcb_connection_t* raw = connection_->raw();
    // The root's picture is what the screen shows, with every window composited.
    auto image = waitReply(xcb_get_image_reply, raw,
                           xcb_get_image(raw, XCB_IMAGE_FORMAT_Z_PIXMAP, connection_->root(), x, y,
                                         1, 1, ~std::uint32_t{0}));
    xcb_visualtype_t* visual = connection_->visualType(connection_->screen().root_visual);
    if (!image || !visual || xcb_get_image_data_length(image.get()) < 4) return std::nullopt;
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, xcb_get_image_data(image.get()), 4);
    return Color{channel(pixel, visual->red_mask), channel(pixel, visual->green_mask),
                 channel(pixel, visual->blue_mask), 1};
}

template <class Event>
bool X11ColorSampler::takeWhileGrabbed(const Event&) {
    return grabbed_;
}

// While it holds the grab, the pointer and the keys are its own: it takes them all.
void X11ColorSampler::subscribe(X11EventRouter& router) {
    router.on<&X11ColorSampler::pointerMoved>(XCB_MOTION_NOTIFY, *this);
    router.on<&X11ColorSampler::buttonPressed>(XCB_BUTTON_PRESS, *this);
    router.on<&X11ColorSampler::takeWhileGrabbed<xcb_button_release_event_t>>(XCB_BUTTON_RELEASE,
                                                                              *this);
    router.on<&X11ColorSampler::keyPressed>(XCB_KEY_PRESS, *this);
    router.on<&X11ColorSampler::takeWhileGrabbed<xcb_key_release_event_t>>(XCB_KEY_RELEASE, *this);
    router.on<&X11ColorSampler::exposed>(XCB_EXPOSE, *this);
}

bool X11ColorSampler::pointerMoved(const xcb_motion_notify_event_t& motion) {
    if (!grabbed_) return false;
    showLoupe(motion.root_x, motion.root_y);
    return true;
}

bool X11ColorSampler::buttonPressed(const xcb_button_press_event_t& press) {
    if (!grabbed_) return false;
    connection_->noteTime(press.time);
    if (press.detail == 1) finish(pixelAt(press.root_x, press.root_y));
    return true;
}

bool X11ColorSampler::keyPressed(const xcb_key_press_event_t& key) {
    if (!grabbed_) return false;
    connection_->noteTime(key.time);
    if (X11KeyCodes::virtualKeyCode(key.detail) == kEscapeKeyCode) finish(std::nullopt);
    return true;
}

bool X11ColorSampler::exposed(const xcb_expose_event_t& expose) {
    if (!grabbed_ || expose.window != loupe_) return false;
    paintLoupe();
    return true;
}

void X11ColorSampler::finish(std::optional<Color> color) {
    retry_.clear();
    xcb_connection_t* raw = connection_->raw();
    if (grabbed_) {
        xcb_ungrab_pointer(raw, XCB_CURRENT_TIME);
        xcb_ungrab_keyboard(raw, XCB_CURRENT_TIME);
        grabbed_ = false;
    }
    if (loupe_ != XCB_WINDOW_NONE) xcb_destroy_window(raw, loupe_);
    loupe_ = XCB_WINDOW_NONE;
    auto handler = std::exchange(handler_, nullptr);
    if (!handler) return;
    loop_->post([handler = std::move(handler), color] { handler(color); });
}

}  // namespace talvori::x11
