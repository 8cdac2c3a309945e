#include "platform/x11/X11StatusItem.hpp"

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/core/Timer.hpp"
#include "platform/core/weakly.hpp"
#include "platform/freedesktop/SessionBus.hpp"
#include "platform/freedesktop/StatusIcon.hpp"
#include "platform/freedesktop/StatusNotifierItem.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11Screens.hpp"
#include "platform/x11/X11TrayIcon.hpp"

namespace talvori::x11 {

namespace {

// About the size of an icon in a panel: what opens under the item opens under this square.
constexpr std::int32_t kClickSquare = 24;

}  // namespace

std::shared_ptr<X11StatusItem> X11StatusItem::make(Services services, int number) {
    std::shared_ptr<X11StatusItem> item(new X11StatusItem(std::move(services)));
    item->start(number);
    return item;
}

X11StatusItem::X11StatusItem(Services services) : services_(std::move(services)) {}

X11StatusItem::~X11StatusItem() {
    if (standIn_ != XCB_WINDOW_NONE && !services_.connection->isClosed()) {
        xcb_destroy_window(services_.connection->raw(), standIn_);
    }
}

void X11StatusItem::start(int number) {
    number_ = number;
    const std::weak_ptr<X11StatusItem> weak = weak_from_this();
    tray_ = std::make_shared<X11TrayIcon>(
        services_.connection,
        X11TrayIcon::Handlers{weakly(weak, &X11StatusItem::clicked), nullptr, services_.themeTint},
        services_.log);
    if (services_.bus) {
        busConnection_ =
            services_.bus->observeConnection(weakly(weak, &X11StatusItem::offerOverBus));
    }
    offerOverBus();
}

// Made anew whenever the bus comes back; without a bus the tray alone hosts the item.
void X11StatusItem::offerOverBus() {
    notifier_.reset();
    if (services_.bus && services_.bus->isConnected()) {
        const std::weak_ptr<X11StatusItem> weak = weak_from_this();
        notifier_ = freedesktop::StatusNotifierItem::make(
            services_.bus, number_,
            {weakly(weak, &X11StatusItem::activated), weakly(weak, &X11StatusItem::chooseHost)},
            services_.log);
        if (notifier_ && !label_.empty()) notifier_->setTitle(label_);
        if (image_) publishIcons();
        waitedForWatcher_ = false;
        watcherWait_.replace(Timer::scheduledTimer(platform().runLoop(), kWatcherWaitSeconds, false,
                                                   weakly(weak, &X11StatusItem::waitedForWatcher),
                                                   RunLoopMode::common));
    }
    chooseHost();
}

void X11StatusItem::waitedForWatcher() {
    waitedForWatcher_ = true;
    chooseHost();
}

// The tray waits a moment for the watcher's answer, so that a desktop offering both never shows
// the item twice, or docks it only to take it out again a moment later; an item already docked
// stays until the answer.
void X11StatusItem::chooseHost() {
    const bool unsettled = notifier_ && !notifier_->isSettled() && !waitedForWatcher_;
    tray_->setWanted(!notifier_ || (unsettled ? tray_->isVisible() : !notifier_->isShown()));
}

bool X11StatusItem::isShownOverBus() const {
    return notifier_ && notifier_->isShown();
}

bool X11StatusItem::isVisible() const {
    return isShownOverBus() || tray_->isVisible();
}

// ---- Look

void X11StatusItem::setImage(std::optional<Image> image) {
    image_ = std::move(image);
    tray_->setImage(image_);
    publishIcons();
}

void X11StatusItem::publishIcons() {
    if (!notifier_) return;
    const Color tint =
        services_.themeTint ? services_.themeTint() : freedesktop::StatusIcon::kLightTint;
    auto icons = [image = image_, tint] {
        std::vector<freedesktop::StatusNotifierItem::Icon> icons;
        for (const int size : freedesktop::StatusIcon::kSizes) {
            icons.push_back({size, freedesktop::StatusIcon::networkOrderPixels(image, size, tint)});
        }
        return icons;
    };
    freedesktop::StatusNotifierItem::ThemedIcon themed;
    if (image_ && !image_->iconName.empty()) {
        themed = {image_->iconName, weakly(weak_from_this(), &X11StatusItem::iconThemePath)};
    }
    notifier_->setIcons(std::move(icons), std::move(themed));
}

// Found, or our icons written out, when a host first asks: not on the way to the tray.
std::string X11StatusItem::iconThemePath() {
    if (!iconThemePath_) iconThemePath_ = freedesktop::StatusIcon::iconThemePath();
    return *iconThemePath_;
}

void X11StatusItem::setAccessibilityLabel(std::string label) {
    label_ = std::move(label);
    tray_->setLabel(label_);
    if (notifier_) notifier_->setTitle(label_);
}

// ---- Where it is

std::optional<RootRect> X11StatusItem::rootFrame() const {
    if (tray_->isVisible()) return tray_->rootRect();
    if (isShownOverBus()) return activation_;
    return std::nullopt;
}

Rect X11StatusItem::frameOnScreen() const {
    const auto frame = rootFrame();
    return frame ? services_.screens->space().toGlobal(*frame) : Rect();
}

std::uint32_t X11StatusItem::windowNumber() const {
    if (tray_->isVisible()) return tray_->window();
    if (isShownOverBus() && activation_) return standIn_;
    return 0;
}

bool X11StatusItem::isWindowVisible() const {
    return tray_->isVisible() || (isShownOverBus() && activation_);
}

std::optional<Screen> X11StatusItem::screen() const {
    if (!isWindowVisible()) return std::nullopt;
    return services_.screens->screenFor(frameOnScreen());
}

bool X11StatusItem::claimsPointer(std::int16_t x, std::int16_t y) const {
    const auto frame = rootFrame();
    return frame && x >= frame->x && y >= frame->y &&
           x < frame->x + static_cast<std::int32_t>(frame->width) &&
           y < frame->y + static_cast<std::int32_t>(frame->height);
}

// ---- Clicks

void X11StatusItem::activated(int x, int y) {
    const X11Screens& screens = *services_.screens;
    const Point global = screens.space().pointToGlobal(x, y);
    const auto all = screens.screens();
    const bool onScreen = std::any_of(all.begin(), all.end(), [&](const Screen& screen) {
        return screen.frame.contains(global);
    });
    // Some hosts send the point within their own window, or nothing: the pointer is on the item.
    if (!onScreen || (x == 0 && y == 0)) {
        xcb_connection_t* raw = services_.connection->raw();
        if (auto pointer = waitReply(xcb_query_pointer_reply, raw,
                                     xcb_query_pointer(raw, services_.connection->root()))) {
            x = pointer->root_x;
            y = pointer->root_y;
        }
    }
    activation_ = RootRect{x - kClickSquare / 2, y - kClickSquare / 2, kClickSquare, kClickSquare};
    if (standIn_ == XCB_WINDOW_NONE) {
        xcb_connection_t* raw = services_.connection->raw();
        standIn_ = xcb_generate_id(raw);
        xcb_create_window(raw, 0, standIn_, services_.connection->root(), -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    }
    clicked();
}

void X11StatusItem::clicked() {
    // A copy: the action may replace itself.
    if (auto action = action_) action();
}

}  // namespace talvori::x11
