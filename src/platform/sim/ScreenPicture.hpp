#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Geometry.hpp"
#include "platform/desktop/Color.hpp"

namespace talvori::sim {

class SimPanel;
class SimStatusBar;
class SimWorld;
struct SimWindow;

// A picture of the whole simulated screen as a user would see it: the desktop, other
// applications' windows as framed rectangles with their titles, the menu bar with our status
// items, and our panels by their layer or hosted content, each at its alpha, in stacking order,
// with background blur approximated by blurring what lies beneath. One pixel per point; the image
// spans every screen.
class ScreenPicture {
  public:
    static ScreenPicture render(const SimWorld& world, const SimStatusBar* statusBar = nullptr);

    int width() const;
    int height() const;
    // The colour at `point` of the global space (y up); clear outside the image.
    Color colorAt(const Point& point) const;
    // The picture as PNG bytes; byte for byte the same for the same scene.
    std::vector<std::uint8_t> pngData() const;
    bool writePNG(const std::string& path) const;

  private:
    using Surface = std::shared_ptr<cairo_surface_t>;

    ScreenPicture(Surface surface, Rect bounds) : surface_(std::move(surface)), bounds_(bounds) {}

    Surface surface_;
    // The global rectangle the image shows.
    Rect bounds_;
};

}  // namespace talvori::sim
