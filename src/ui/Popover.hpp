#pragma once

#include <functional>
#include <memory>

#include "platform/core/Geometry.hpp"
#include "platform/core/Registration.hpp"
#include "ui/Color.hpp"
#include "ui/View.hpp"

namespace talvori {
class Panel;
}

namespace talvori::ui {

class PanelHost;
class TextMeasurer;

// The window of a popover: a borderless panel just above its anchor's window, hanging below the
// anchor with its arrow pointing at the anchor's middle (above the anchor when there is no room
// below), kept inside the screen, following its content's size. Any click outside it, in our
// windows or another application's, calls onOutsideClick and still reaches its target. Views
// present one with View::popover; this class is the window behind that.
class Popover : public std::enable_shared_from_this<Popover> {
  public:
    static constexpr double kArrowHeight = 8;
    static constexpr double kArrowHalfWidth = 9;
    static constexpr double kCornerRadius = 10;
    // The least room left between the popover and the edges of the screen's visible frame.
    static constexpr double kScreenMargin = 6;
    // The standard popover fill of a dark interface.
    static constexpr Color kStandardBackground = Color::rgb255(40, 42, 48);

    struct Anchor {
        // In the global space (bottom left, y up).
        Rect frameOnScreen;
        std::shared_ptr<Panel> window;
    };

    static std::shared_ptr<Popover> make(Color background,
                                         std::shared_ptr<TextMeasurer> textMeasurer);
    ~Popover();
    Popover(const Popover&) = delete;
    Popover& operator=(const Popover&) = delete;

    // Opens the window (or, when open, updates its content and place).
    void show(const View& content, const Anchor& anchor);
    void close();
    bool isShown() const { return panel_ != nullptr; }
    std::shared_ptr<Panel> panel() const { return panel_; }
    PanelHost* contentHost() const { return content_.get(); }
    // Whether it hangs below its anchor (the arrow on its top edge).
    bool isBelowAnchor() const { return below_; }

    std::function<void()> onOutsideClick;

  private:
    Popover(Color background, std::shared_ptr<TextMeasurer> textMeasurer);
    View chrome(const View& content, double arrowX) const;
    void place();
    void watchClicks();
    void outsideClick();

    Color background_;
    std::shared_ptr<TextMeasurer> textMeasurer_;
    std::shared_ptr<Panel> panel_;
    std::shared_ptr<PanelHost> content_;
    View shownContent_;
    Anchor anchor_;
    Size measured_;
    bool below_ = true;
    bool placing_ = false;
    Registration localMonitor_;
    Registration globalMonitor_;
};

}  // namespace talvori::ui
