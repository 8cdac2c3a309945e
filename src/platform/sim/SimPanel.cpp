#include "platform/sim/SimPanel.hpp"

#include <fmt/format.h>

#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

std::shared_ptr<SimPanel> SimPanel::make(const std::shared_ptr<SimWorld>& world,
                                         const Rect& contentRect, unsigned styleMask) {
    std::shared_ptr<SimPanel> panel(new SimPanel(world, contentRect, styleMask));
    panel->number_ = world->registerPanel(panel, panel->level());
    world->log(fmt::format("make panel {}", panel->number_));
    return panel;
}

SimPanel::SimPanel(const std::shared_ptr<SimWorld>& world, const Rect& contentRect,
                   unsigned styleMask)
    : Panel(world->sharedLoop(), contentRect, styleMask), world_(world) {}

SimPanel::~SimPanel() {
    if (auto world = world_.lock()) world->unregisterWindow(number_);
}

std::optional<Screen> SimPanel::screen() const {
    auto world = world_.lock();
    return world ? world->screenFor(frame()) : std::nullopt;
}

void SimPanel::zoom() {
    ++zoomCount_;
}

void SimPanel::orderFront() {
    auto world = world_.lock();
    if (!world || isClosed()) return;
    world->orderFront(number_);
    markShown();
    world->log(fmt::format("order front panel {}", number_));
}

void SimPanel::orderOut() {
    auto world = world_.lock();
    if (!world) return;
    world->orderOut(number_);
    world->log(fmt::format("order out panel {}", number_));
}

bool SimPanel::orderRelative(WindowOrderingMode mode, std::uint32_t other) {
    auto world = world_.lock();
    if (!world || isClosed()) return false;
    const bool placed = world->orderRelative(number_, static_cast<int>(mode), other);
    if (placed) markShown();
    world->log(fmt::format("order panel {} {} {}{}", number_,
                           mode == WindowOrderingMode::below ? "below" : "above", other,
                           placed ? "" : " (no such window)"));
    return placed;
}

bool SimPanel::isVisible() const {
    auto world = world_.lock();
    return world && world->stackIndex(number_) >= 0;
}

bool SimPanel::isKeyWindow() const {
    auto world = world_.lock();
    return world && world->keyWindowNumber() == number_;
}

void SimPanel::makeKey() {
    auto world = world_.lock();
    if (!world || isClosed() || !canBecomeKey()) return;
    world->setKeyWindow(number_);
}

void SimPanel::keyStatusChanged(bool isKey) {
    if (auto world = world_.lock()) {
        world->log(fmt::format("panel {} {} key", number_, isKey ? "became" : "resigned"));
    }
    if (isKey) {
        didBecomeKey();
    } else {
        didResignKey();
    }
}

bool SimPanel::setBackgroundBlurRadius(int radius) {
    auto world = world_.lock();
    if (!world || !world->isBackgroundBlurAvailable()) return false;
    storeBackgroundBlurRadius(radius);
    world->ourWindowChanged();
    return true;
}

void SimPanel::frameDidChange(const Rect&) {
    if (auto world = world_.lock()) world->ourWindowChanged();
}

void SimPanel::appearanceDidChange() {
    if (auto world = world_.lock()) world->ourWindowChanged();
}

void SimPanel::levelDidChange() {
    if (auto world = world_.lock()) world->levelChanged(number_, level());
}

void SimPanel::ignoresMouseEventsDidChange() {
    if (auto world = world_.lock()) world->ourWindowChanged();
}

void SimPanel::contentNeedsDisplay() {
    ++needsDisplayCount_;
    if (onNeedsDisplay_) onNeedsDisplay_();
}

void SimPanel::contentNeedsDisplayInRects(const std::vector<Rect>& rects) {
    damagedRects_.insert(damagedRects_.end(), rects.begin(), rects.end());
    contentNeedsDisplay();
}

void SimPanel::redrawNow() {
    ++displayCount_;
}

void SimPanel::closeWindow() {
    auto world = world_.lock();
    if (!world) return;
    world->orderOut(number_);
    world->log(fmt::format("close panel {}", number_));
}

void SimPanel::postNotification(const char* name) {
    if (auto world = world_.lock()) {
        world->notificationCenter().post(name, static_cast<const Panel*>(this));
    }
}

}  // namespace talvori::sim
