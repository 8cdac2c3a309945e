#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvori {
class RunLoop;
}

namespace talvori::x11 {

class X11Connection;

// Whether the compositor fades a window by its _NET_WM_WINDOW_OPACITY, found by looking rather
// than by its name: a one-pixel window in the screen's bottom right corner, its colour the
// opposite of what the screen shows there, is shown at opacity 0 and then at full opacity. When
// the screen keeps its pixel the first time and shows ours the second, the compositor honours the
// property; anything else (no compositor, a screen that cannot be read back, a compositor that
// ignores it, a screen that never settles) says no, and windows draw their alpha into their
// pixels instead.
class X11OpacityProbe : public std::enable_shared_from_this<X11OpacityProbe> {
  public:
    // How long the compositor is given to show a change.
    static constexpr double kLookDelay = 0.1;
    // Looks made again when the screen changed under the probe meanwhile.
    static constexpr int kAttempts = 5;

    X11OpacityProbe(std::shared_ptr<X11Connection> connection, std::weak_ptr<RunLoop> loop,
                    std::function<void()> changed);
    ~X11OpacityProbe();
    X11OpacityProbe(const X11OpacityProbe&) = delete;
    X11OpacityProbe& operator=(const X11OpacityProbe&) = delete;

    bool isHonoured() const { return honoured_; }
    // Looks (again): at start and whenever a compositor comes or goes.
    void start();

  private:
    using Pixel = std::vector<std::uint8_t>;

    void begin();
    void retry();
    void readPixel(std::function<void(X11OpacityProbe&, std::optional<Pixel>)> then);
    void showProbe(const Pixel& before);
    void setOpacity(std::uint32_t opacity);
    void lookLater(std::function<void(X11OpacityProbe&, std::optional<Pixel>)> then);
    void conclude(bool honoured);

    std::shared_ptr<X11Connection> connection_;
    std::weak_ptr<RunLoop> loop_;
    std::function<void()> changed_;
    bool honoured_ = false;
    int attempts_ = 0;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    // A newer look makes what an older one still waits for meaningless.
    std::uint64_t looks_ = 0;
};

}  // namespace talvori::x11
