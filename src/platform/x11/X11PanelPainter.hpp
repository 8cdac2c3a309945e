#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/desktop/Panel.hpp"
#include "platform/x11/X11RootSpace.hpp"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace talvori::x11 {

class X11Application;
class X11Connection;
class X11Panel;

// Draws one panel's window through Cairo on the loop's next pass: its colours, its layer or its
// hosted content. Only the damaged areas are drawn when only some are; a panel the compositor
// fades by its opacity keeps its picture in the window's background instead; without a
// compositor, the window's shape follows what its content covers.
class X11PanelPainter {
  public:
    X11PanelPainter(X11Panel& panel, const std::shared_ptr<X11Application>& application,
                    xcb_window_t window);
    ~X11PanelPainter();
    X11PanelPainter(const X11PanelPainter&) = delete;
    X11PanelPainter& operator=(const X11PanelPainter&) = delete;

    // Draws what needs drawing: the damaged areas when only some are, else everything.
    void paint();
    // The whole window needs drawing again.
    void setNeedsPaint();
    // The compositor is to draw the whole window anew, though its pixels stay as they are.
    void showAgain();
    // Whether the next paint draws the whole window (it was shown, resized or changed whole).
    bool needsWholePaint() const;
    // Part of the window needs drawing again (the server lost it); in window coordinates.
    void damage(const RootRect& area);
    // The content changed in these rectangles, in points.
    void damageContent(const std::vector<Rect>& rects);
    // The window changed size: what is drawn follows.
    void resizeSurface();
    // The window's background no longer shows the picture drawn into it.
    void forgetBackground() { background_.reset(); }
    void releaseSurface();

  private:
    void paintContent(cairo_t* context, Size size);
    // A panel that shows only its colours while the compositor fades it by its opacity keeps its
    // picture in the window's background: the server shows it again on every mapping and
    // exposure, and the panel is drawn only when its colours or size change.
    bool drawsIntoBackground() const;
    void drawBackground();
    // One colour over the whole window, as the background pixel of the 32-bit visual.
    std::optional<std::uint32_t> uniformPixel() const;
    void dropBackground();
    // Without a compositor: the window's shape follows what its content covers (see Panel).
    void updateBoundingShape();
    std::vector<xcb_rectangle_t> opaqueRectangles();
    void scheduleAnimationFrame();

    X11Panel& panel_;
    std::weak_ptr<X11Application> application_;
    std::shared_ptr<X11Connection> connection_;
    xcb_window_t window_;
    bool animationFramePending_ = false;
    // What the next paint must draw: everything, or only these areas.
    bool damagedWhole_ = true;
    // The whole window is drawn again only for the compositor to show it anew.
    bool drawnAgainToShow_ = false;
    std::vector<RootRect> damage_;
    cairo_surface_t* surface_ = nullptr;
    // What the window's background shows, while it shows the panel's picture.
    struct DrawnBackground {
        std::uint32_t width;
        std::uint32_t height;
        Color background;
        bool opaque;
        ContentLayer layer;
        bool operator==(const DrawnBackground&) const = default;
    };
    std::optional<DrawnBackground> background_;
    // The bounding shape last set; none while the window has its whole rectangle.
    std::optional<std::vector<xcb_rectangle_t>> boundingShape_;
};

}  // namespace talvori::x11
