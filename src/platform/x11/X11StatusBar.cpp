#include "platform/x11/X11StatusBar.hpp"

#include "platform/desktop/StatusBarButton.hpp"
#include "platform/desktop/StatusItem.hpp"

namespace talvori::x11 {

namespace {

class HiddenButton final : public StatusBarButton {
  public:
    void setImage(std::optional<Image> image) override { image_ = std::move(image); }
    const std::optional<Image>& image() const override { return image_; }
    void setAccessibilityLabel(std::string label) override { label_ = std::move(label); }
    const std::string& accessibilityLabel() const override { return label_; }
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    bool isHidden() const override { return true; }
    bool hasHiddenAncestor() const override { return true; }
    bool visibleRectIsEmpty() const override { return true; }
    Rect frameOnScreen() const override { return {}; }
    std::uint32_t windowNumber() const override { return 0; }
    bool isWindowVisible() const override { return false; }
    std::optional<Screen> screen() const override { return std::nullopt; }

  private:
    std::optional<Image> image_;
    std::string label_;
    std::function<void()> action_;
};

class HiddenItem final : public StatusItem {
  public:
    bool isVisible() const override { return false; }
    StatusBarButton* button() override { return &button_; }

  private:
    HiddenButton button_;
};

}  // namespace

std::shared_ptr<StatusItem> X11StatusBar::makeStatusItem(double) {
    if (!noted_) {
        noted_ = true;
        log_.log("The status item is not shown on X11 yet: use the global shortcuts");
    }
    return std::make_shared<HiddenItem>();
}

}  // namespace talvori::x11
