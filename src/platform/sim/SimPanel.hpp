#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/desktop/Panel.hpp"

namespace talvori::sim {

class SimWorld;

// One of our windows in the simulated window server.
class SimPanel final : public Panel {
  public:
    static std::shared_ptr<SimPanel> make(const std::shared_ptr<SimWorld>& world,
                                          const Rect& contentRect, unsigned styleMask);
    ~SimPanel() override;

    std::uint32_t windowNumber() const override { return number_; }
    std::optional<Screen> screen() const override;
    void zoom() override;
    void orderFront() override;
    void orderOut() override;
    bool orderRelative(WindowOrderingMode mode, std::uint32_t other) override;
    bool isVisible() const override;
    bool isKeyWindow() const override;
    void makeKey() override;
    bool setBackgroundBlurRadius(int radius) override;

    // ---- For tests and the other simulated services
    int displayCount() const { return displayCount_; }
    int needsDisplayCount() const { return needsDisplayCount_; }
    // The rectangles of the requests to draw part of the content, since the last clear.
    const std::vector<Rect>& damagedRects() const { return damagedRects_; }
    void clearDamagedRects() { damagedRects_.clear(); }
    int zoomCount() const { return zoomCount_; }
    // Scene windows follow their content's size through this.
    void setOnNeedsDisplay(std::function<void()> hook) { onNeedsDisplay_ = std::move(hook); }
    // Called by the world as key status moves.
    void keyStatusChanged(bool isKey);
    // Called by the world after the panel was ordered in or out.
    void orderingChanged() { visibilityMayHaveChanged(); }

  protected:
    void frameDidChange(const Rect& oldFrame) override;
    void appearanceDidChange() override;
    void levelDidChange() override;
    void ignoresMouseEventsDidChange() override;
    void contentNeedsDisplay() override;
    void contentNeedsDisplayInRects(const std::vector<Rect>& rects) override;
    void redrawNow() override;
    void closeWindow() override;
    void postNotification(const char* name) override;

  private:
    SimPanel(const std::shared_ptr<SimWorld>& world, const Rect& contentRect, unsigned styleMask);

    std::weak_ptr<SimWorld> world_;
    std::uint32_t number_ = 0;
    int displayCount_ = 0;
    int needsDisplayCount_ = 0;
    std::vector<Rect> damagedRects_;
    int zoomCount_ = 0;
    std::function<void()> onNeedsDisplay_;
};

}  // namespace talvori::sim
