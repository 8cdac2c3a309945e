#include "ui/DamageRegion.hpp"

#include <algorithm>
#include <cmath>

namespace talvori::ui {

Rect unionOf(const Rect& a, const Rect& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    const double minX = std::min(a.minX(), b.minX()), minY = std::min(a.minY(), b.minY());
    return {minX, minY, std::max(a.maxX(), b.maxX()) - minX, std::max(a.maxY(), b.maxY()) - minY};
}

void DamageRegion::add(const Rect& rect) {
    if (rect.isEmpty() || !std::isfinite(rect.minX()) || !std::isfinite(rect.minY()) ||
        !std::isfinite(rect.width()) || !std::isfinite(rect.height()))
        return;
    Rect merged = rect;
    // A merge can make the rectangle reach others it did not before: merge until none is left.
    for (bool grew = true; grew;) {
        grew = false;
        for (auto it = rects_.begin(); it != rects_.end();) {
            if (it->intersects(merged)) {
                merged = unionOf(merged, *it);
                it = rects_.erase(it);
                grew = true;
            } else {
                ++it;
            }
        }
    }
    rects_.push_back(merged);
    if (rects_.size() > kMostRects) {
        const Rect all = bounds();
        rects_.assign(1, all);
    }
}

void DamageRegion::add(const DamageRegion& other) {
    for (const Rect& rect : other.rects_) add(rect);
}

bool DamageRegion::intersects(const Rect& rect) const {
    return std::any_of(rects_.begin(), rects_.end(),
                       [&](const Rect& each) { return each.intersects(rect); });
}

bool DamageRegion::contains(const Rect& rect) const {
    return std::any_of(rects_.begin(), rects_.end(), [&](const Rect& each) {
        return rect.minX() >= each.minX() && rect.minY() >= each.minY() &&
               rect.maxX() <= each.maxX() && rect.maxY() <= each.maxY();
    });
}

Rect DamageRegion::bounds() const {
    Rect all;
    for (const Rect& rect : rects_) all = unionOf(all, rect);
    return all;
}

double DamageRegion::area() const {
    double total = 0;
    for (const Rect& rect : rects_) total += rect.width() * rect.height();
    return total;
}

DamageRegion DamageRegion::toPixels(double scale, const Rect& limit) const {
    DamageRegion pixels;
    for (const Rect& rect : rects_) {
        const double minX = std::floor(rect.minX() * scale), minY = std::floor(rect.minY() * scale);
        const Rect grown(minX, minY, std::ceil(rect.maxX() * scale) - minX,
                         std::ceil(rect.maxY() * scale) - minY);
        pixels.add(grown.intersection(limit));
    }
    return pixels;
}

}  // namespace talvori::ui
