#include "platform/sim/SimStatusBar.hpp"

#include "platform/sim/SimStatusItem.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

std::shared_ptr<StatusItem> SimStatusBar::makeStatusItem(double length) {
    const double width = length == kSquareLength ? SimWorld::kMenuBarHeight : length;
    auto item = std::make_shared<SimStatusItem>(weak_from_this(), width, !withoutButton_);
    std::erase_if(items_, [](const auto& weak) { return weak.expired(); });
    items_.push_back(item);
    layout();
    world_->log("status item added");
    return item;
}

std::vector<std::shared_ptr<SimStatusItem>> SimStatusBar::items() const {
    std::vector<std::shared_ptr<SimStatusItem>> live;
    for (const auto& weak : items_) {
        if (auto item = weak.lock()) live.push_back(item);
    }
    return live;
}

void SimStatusBar::setCrowded(bool crowded) {
    crowded_ = crowded;
    layout();
}

void SimStatusBar::layout() {
    const auto& screens = world_->screens();
    if (screens.empty()) {
        for (const auto& item : items()) item->place({});
        return;
    }
    const Rect screen = screens.front().frame;
    double right = screen.maxX() - kRightMargin;
    for (const auto& item : items()) {
        right -= item->width();
        item->place({right, screen.maxY() - SimWorld::kMenuBarHeight, item->width(),
                     SimWorld::kMenuBarHeight});
    }
}

bool SimStatusBar::handleClick(std::uint32_t window, const Event& event) {
    for (const auto& item : items()) {
        if (item->windowNumber() != window) continue;
        const bool up = event.type == EventType::leftMouseUp;
        if (up && item->frameOnScreen().contains(event.location)) item->performClick();
        return true;
    }
    return false;
}

}  // namespace talvori::sim
