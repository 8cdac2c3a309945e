#pragma once

#include <vector>

#include "platform/core/Geometry.hpp"

namespace talvori::ui {

// The parts of a picture that changed since it was last drawn: a short list of rectangles.
// Rectangles that overlap merge, and past a handful the list becomes its bounding rectangle, so
// that testing a view against the region stays cheap.
class DamageRegion {
  public:
    static constexpr std::size_t kMostRects = 32;

    void add(const Rect& rect);
    void add(const DamageRegion& other);
    void clear() { rects_.clear(); }
    bool isEmpty() const { return rects_.empty(); }
    bool intersects(const Rect& rect) const;
    // Whether `rect` lies inside one of the rectangles.
    bool contains(const Rect& rect) const;
    const std::vector<Rect>& rects() const { return rects_; }
    Rect bounds() const;
    // The area covered: the rectangles never overlap.
    double area() const;
    // The region scaled by `scale` and grown to whole pixels, cut to `limit` (in pixels).
    DamageRegion toPixels(double scale, const Rect& limit) const;

  private:
    std::vector<Rect> rects_;
};

// The smallest rectangle holding both; an empty one adds nothing.
Rect unionOf(const Rect& a, const Rect& b);

}  // namespace talvori::ui
