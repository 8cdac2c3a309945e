// Damage, the kept frame and drawing it; pictures of the views for tests.
#include <algorithm>
#include <cmath>
#include <fstream>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"

namespace talvori::ui {

namespace {

// Whole pixels for a picture's side: at least one, and one for a length that is no number.
int pixelsFor(double length) {
    constexpr double kLargestSide = 32767;  // cairo's limit for an image
    return std::isfinite(length)
               ? static_cast<int>(std::clamp(std::ceil(length), 1.0, kLargestSide))
               : 1;
}

cairo_status_t appendToVector(void* closure, const unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void Host::draw(cairo_t* cr) {
    if (!root_) return;
    pruneRemovals();
    const double time = now();
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    const double scale = matrix.xx;
    const bool aligned = matrix.xy == 0 && matrix.yx == 0 && scale > 0 && matrix.yy == scale &&
                         matrix.x0 == std::round(matrix.x0) && matrix.y0 == std::round(matrix.y0);
    if (!aligned) {
        DrawContext context{cr, time, *textMeasurer_, *icons_};
        root_->draw(context);
        return;
    }
    // Texts show their caret only in the key window.
    if (isKeyWindow() != keptAsKeyWindow_) {
        keptAsKeyWindow_ = !keptAsKeyWindow_;
        fullDamage_ = true;
    }
    const bool everything = fullDamage_;
    fullDamage_ = false;
    DamageRegion changed;
    if (everything) {
        // Where each change lies does not matter when everything is drawn: finding it would cost
        // as much as the drawing for a window whose views are all new.
        forgetDamage(time);
    } else {
        changed = damage_;
        collectDamage(changed, time, true);
    }
    damage_.clear();
    const int width = pixelsFor(size_.width * scale);
    const int height = pixelsFor(size_.height * scale);
    const Rect whole(0, 0, width, height);
    const DamageRegion pixels = changed.toPixels(scale, whole);
    reportLeftovers(changed, everything);
    statistics_.drawn = 0;
    DrawContext context{cr, time, *textMeasurer_, *icons_};
    context.recordScale = scale;
    context.recordOrigin = {matrix.x0, matrix.y0};
    context.drawnCount = &statistics_.drawn;
    // The area itself, not the box around it: two small changes far apart, such as a row at the
    // top and a count at the bottom, leave most of the kept frame as it is.
    if (everything || pixels.area() > 0.5 * width * height) {
        // Most of the window changes: drawn straight into the picture, as fast as it can be. The
        // kept frame is made again by the next drawing that changes less.
        keptValid_ = false;
        root_->draw(context);
        return;
    }
    updateKeptFrame(scale, pixels, context);
    cairo_save(cr);
    // Whole pixels onto whole pixels: a plain copy.
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, kept_, matrix.x0, matrix.y0);
    cairo_paint(cr);
    cairo_restore(cr);
}

void Host::collectDamage(DamageRegion& region, double now, bool consume) {
    for (const auto& weak : displayQueue_) {
        if (auto node = weak.lock()) {
            region.add(node->spreadByAncestors(node->drawingBoundsInHost(now), now));
            if (consume) node->queuedForDisplay_ = false;
        }
    }
    if (consume) displayQueue_.clear();
    for (const auto& weak : animating_) {
        auto node = weak.lock();
        if (!node) continue;
        region.add(node->spreadByAncestors(node->drawnBounds(), now));
        node->invalidateBounds();
        region.add(node->spreadByAncestors(node->drawingBoundsInHost(now), now));
    }
    if (consume) dropEndedAnimations(now);
}

void Host::forgetDamage(double now) {
    for (const auto& weak : displayQueue_) {
        if (auto node = weak.lock()) node->queuedForDisplay_ = false;
    }
    displayQueue_.clear();
    for (const auto& weak : animating_) {
        if (auto node = weak.lock()) node->invalidateBounds();
    }
    dropEndedAnimations(now);
}

void Host::dropEndedAnimations(double now) {
    // An animation that ended is drawn once more, in its final state, and then forgotten.
    std::erase_if(animating_, [now](const auto& weak) {
        auto node = weak.lock();
        if (!node) return true;
        if (node->isAnimating(now)) return false;
        node->listedAsAnimating_ = false;
        return true;
    });
}

std::optional<std::vector<Rect>> Host::pendingDamage() {
    if (fullDamage_) {
        reportedAll_ = true;
        return std::nullopt;
    }
    DamageRegion region = damage_;
    region.add(unreported_);
    unreported_.clear();
    collectDamage(region, now(), false);
    reported_.insert(reported_.end(), region.rects().begin(), region.rects().end());
    return region.rects();
}

void Host::reportLeftovers(const DamageRegion& drawn, bool whole) {
    // An animation reported at one frame is drawn a moment later, a little further on: what the
    // window was not told of is told now, so that no part of the picture stays behind on screen.
    bool added = false;
    if (onNeedsDisplay && !reportedAll_) {
        auto told = [&](const Rect& rect) {
            return std::any_of(reported_.begin(), reported_.end(), [&](const Rect& r) {
                return rect.minX() >= r.minX() && rect.minY() >= r.minY() &&
                       rect.maxX() <= r.maxX() && rect.maxY() <= r.maxY();
            });
        };
        for (const Rect& rect : whole ? std::vector{Rect({0, 0}, size_)} : drawn.rects()) {
            if (told(rect)) continue;
            unreported_.add(rect);
            added = true;
        }
    }
    reported_.clear();
    reportedAll_ = false;
    if (added) {
        platform().runLoop().post(
            weakly(weak_from_this(), [](Host& self) { self.displayNeeded(); }));
    }
}

void Host::updateKeptFrame(double scale, const DamageRegion& changed, DrawContext context) {
    const int width = pixelsFor(size_.width * scale);
    const int height = pixelsFor(size_.height * scale);
    if (!kept_ || keptScale_ != scale || cairo_image_surface_get_width(kept_) != width ||
        cairo_image_surface_get_height(kept_) != height) {
        if (kept_) cairo_surface_destroy(kept_);
        kept_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        keptScale_ = scale;
        keptValid_ = false;
    }
    // A new or stale frame is drawn whole, unclipped, as a drawing straight into the window is.
    const bool whole = !keptValid_;
    keptValid_ = true;
    if (!whole && changed.isEmpty()) return;
    cairo_t* cr = cairo_create(kept_);
    if (!whole) {
        for (const Rect& rect : changed.rects())
            cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
        cairo_clip(cr);
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_scale(cr, scale, scale);
    context.cr = cr;
    context.clip = whole ? nullptr : &changed;
    context.recordOrigin = {0, 0};
    root_->draw(context);
    cairo_destroy(cr);
}

std::vector<unsigned char> Host::renderPNG(double scale) {
    if (updatePosted_) runUpdate();
    const int width = pixelsFor(size_.width * scale);
    const int height = pixelsFor(size_.height * scale);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    draw(cr);
    cairo_destroy(cr);
    std::vector<unsigned char> bytes;
    cairo_surface_write_to_png_stream(surface, appendToVector, &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

bool Host::writePNG(const std::string& path, double scale) {
    const auto bytes = renderPNG(scale);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace talvori::ui
