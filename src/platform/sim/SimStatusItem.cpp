#include "platform/sim/SimStatusItem.hpp"

#include "platform/sim/SimStatusBar.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

SimStatusItem::SimStatusItem(std::weak_ptr<SimStatusBar> bar, double width, bool hasButton)
    : bar_(std::move(bar)), width_(width), hasButton_(hasButton) {}

SimStatusItem::~SimStatusItem() {
    auto bar = bar_.lock();
    if (!bar) return;
    if (window_ != 0) bar->world().unregisterWindow(window_);
    bar->world().log("status item removed");
    bar->layout();
}

bool SimStatusItem::isVisible() const {
    auto bar = bar_.lock();
    return bar && !bar->isCrowded() && !hidden_ && window_ != 0;
}

std::optional<Screen> SimStatusItem::screen() const {
    auto bar = bar_.lock();
    if (!bar || window_ == 0) return std::nullopt;
    return bar->world().screenFor(frame_);
}

void SimStatusItem::place(const Rect& frame) {
    auto bar = bar_.lock();
    if (!bar) return;
    SimWorld& world = bar->world();
    frame_ = frame;
    const bool shown = !frame.isEmpty() && !bar->isCrowded();
    if (!shown) {
        if (window_ != 0) world.unregisterWindow(window_);
        window_ = 0;
        return;
    }
    if (window_ == 0) {
        window_ = world.registerStatusItemWindow(frame);
    } else if (SimWindow* window = world.window(window_)) {
        window->frame = frame;
        world.ourWindowChanged();
    }
}

void SimStatusItem::performClick() {
    ++clicks_;
    if (auto bar = bar_.lock()) bar->world().log("status item clicked");
    if (auto action = action_) action();
}

}  // namespace talvori::sim
