#pragma once

#include <functional>
#include <memory>

#include "platform/core/NotificationCenter.hpp"
#include "platform/desktop/HostedContent.hpp"
#include "platform/desktop/Responder.hpp"
#include "ui/Host.hpp"

namespace talvori::ui {

// Shows a view tree as the content of one of our panels:
//
//     auto content = PanelHost::make(MainWindowView{runtime});
//     panel->setHostedContent(content);
//     panel->setFrame({origin, content->fittingSize()});
//
// Every click reaches the views, also the first one on a panel that is not key. Mouse, wheel, hover
// and key events arrive in content coordinates; a focused text field becomes the panel's first
// responder (a text editor), so key events reach it first and panel->makeFirstResponder(nullptr)
// takes the focus away. What the views leave unhandled goes to the panel's event handler. The
// views lay out at the panel's content size; fittingSize() is their ideal size. Reduce Motion is
// read from the workspace whenever a view makes an animation.
class PanelHost final : public HostedContent, public std::enable_shared_from_this<PanelHost> {
  public:
    struct Options {
        // Default: Pango.
        std::shared_ptr<TextMeasurer> textMeasurer;
    };

    static std::shared_ptr<PanelHost> make(View root, Options options = {});
    ~PanelHost() override;

    // Replaces the root view, keeping state wherever identity is unchanged.
    void setRootView(View root) { host_->setRootView(std::move(root)); }
    Host& host() const { return *host_; }
    // Called after every layout pass with the laid-out size.
    std::function<void(Size)> onLayoutChange;
    // Called when the content was put into a panel, or taken out of its panel (null), so that
    // whoever needs the window its views are shown in learns it.
    std::function<void(Panel*)> onMoveToPanel;

    void draw(cairo_t* context, Size size) override;
    Size fittingSize() override;
    bool mouseDown(const Event& event, Point location) override;
    bool mouseDragged(const Event& event, Point location) override;
    bool mouseUp(const Event& event, Point location) override;
    void mouseMoved(const Event& event, Point location) override;
    bool scrollWheel(const Event& event, Point location) override;
    void mouseEntered(Point location) override;
    void mouseExited() override;
    bool keyDown(const Event& event) override;
    void didMoveToPanel(Panel* panel) override;
    std::vector<AccessibilityNode> accessibilityElements() override {
        return host_->accessibilityElements();
    }
    void setAccessibilityObserver(std::function<void()> observer) override {
        host_->onAccessibilityChange = std::move(observer);
    }
    void visibilityDidChange(bool isVisible) override;

    // The panel's key event as the views see it.
    static KeyPress keyPress(const Event& event);

  private:
    class FieldResponder;

    PanelHost() = default;
    void focusDidChange(bool textFieldFocused);
    void showChanges();
    void followPanelSize();

    std::shared_ptr<Host> host_;
    std::shared_ptr<FieldResponder> responder_;
    bool movingFocus_ = false;
    Registration panelResizing_;
};

}  // namespace talvori::ui
