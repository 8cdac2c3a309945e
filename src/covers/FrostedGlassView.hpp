#pragma once

#include <cairo.h>

#include <memory>

#include "ui/UI.hpp"

namespace talvori {

// A cover's glass where the desktop blurs nothing behind windows: the glass tint made nearly
// opaque, with a fine soft frost grain and a faint sheen from the top edge, so that nothing under
// the cover can be read while it still looks like glass. The cover's opacity still sets how much
// of the backdrop's brightness comes through; from 60 % up no text under it stays legible.
struct FrostedGlassView {
    // The grey of every glass tint, over a blurred backdrop too.
    static constexpr double kTintLevel = 0.15;
    // At opacity 0 the tint still hides this much; the rest follows the opacity, steeply at first.
    static constexpr double kLeastOpacity = 0.8;
    static constexpr int kGrainTileSize = 128;
    // The strongest frost speckle: white at this alpha.
    static constexpr double kGrainStrength = 0.09;
    static constexpr double kSheenOpacity = 0.08;

    double opacity = 1;

    bool operator==(const FrostedGlassView&) const = default;

    // How opaque the tint is at the cover's `opacity` (NaN and values outside 0...1 clamped).
    static double tintOpacity(double opacity);
    // The frost: soft white speckles on clear, the same pixels every time.
    static const std::shared_ptr<cairo_surface_t>& grainTile();

    ui::View body(ui::ViewContext<ui::NoState>& context) const;
};

}  // namespace talvori
