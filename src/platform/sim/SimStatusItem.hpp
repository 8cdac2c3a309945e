#pragma once

#include <memory>

#include "platform/desktop/StatusItem.hpp"

namespace talvori::sim {

class SimStatusBar;

// A simulated status item and its button, in a window of its own at the status level.
class SimStatusItem final : public StatusItem, public StatusBarButton {
  public:
    SimStatusItem(std::weak_ptr<SimStatusBar> bar, double width, bool hasButton);
    ~SimStatusItem() override;

    // ---- StatusItem
    bool isVisible() const override;
    StatusBarButton* button() override { return hasButton_ ? this : nullptr; }

    // ---- StatusBarButton
    void setImage(std::optional<Image> image) override { image_ = std::move(image); }
    const std::optional<Image>& image() const override { return image_; }
    void setAccessibilityLabel(std::string label) override { label_ = std::move(label); }
    const std::string& accessibilityLabel() const override { return label_; }
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    bool isHidden() const override { return hidden_; }
    bool hasHiddenAncestor() const override { return false; }
    bool visibleRectIsEmpty() const override { return !isVisible(); }
    Rect frameOnScreen() const override { return frame_; }
    std::uint32_t windowNumber() const override { return window_; }
    bool isWindowVisible() const override { return isVisible(); }
    std::optional<Screen> screen() const override;

    // ---- Simulation
    void setHidden(bool hidden) { hidden_ = hidden; }
    double width() const { return width_; }
    void place(const Rect& frame);
    // The user clicks the button: the action runs.
    void performClick();
    int clickCount() const { return clicks_; }

  private:
    std::weak_ptr<SimStatusBar> bar_;
    double width_;
    bool hasButton_;
    bool hidden_ = false;
    Rect frame_;
    std::uint32_t window_ = 0;
    std::optional<Image> image_;
    std::string label_;
    std::function<void()> action_;
    int clicks_ = 0;
};

}  // namespace talvori::sim
