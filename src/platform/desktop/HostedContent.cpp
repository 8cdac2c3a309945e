#include "platform/desktop/HostedContent.hpp"

#include "platform/desktop/Panel.hpp"

namespace talvori {

void HostedContent::setNeedsDisplay() const {
    if (needsDisplay_) needsDisplay_();
}

void HostedContent::setNeedsDisplay(const std::vector<Rect>& damaged) const {
    if (auto panel = panel_.lock()) panel->setNeedsDisplayInRects(damaged);
}

void HostedContent::attach(std::weak_ptr<Panel> panel, std::function<void()> needsDisplay) {
    panel_ = std::move(panel);
    needsDisplay_ = std::move(needsDisplay);
    didMoveToPanel(panel_.lock().get());
}

void HostedContent::detach() {
    panel_.reset();
    needsDisplay_ = nullptr;
    didMoveToPanel(nullptr);
}

}  // namespace talvori
