#include "covers/FrostedGlassView.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "covers/Palette.hpp"

namespace talvori {

namespace {

// Noise softened by a box of three by three pixels (wrapping at the tile's edges, so that the
// tiles meet without a seam): speckles a few pixels across rather than single sharp dots.
std::vector<double> softNoise(int size) {
    std::minstd_rand random(0x7a1c0);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> noise(static_cast<std::size_t>(size * size));
    for (double& value : noise) value = uniform(random);
    std::vector<double> soft(noise.size());
    const auto at = [&](int x, int y) {
        return noise[static_cast<std::size_t>(((y + size) % size) * size + (x + size) % size)];
    };
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) sum += at(x + dx, y + dy);
            }
            soft[static_cast<std::size_t>(y * size + x)] = sum / 9;
        }
    }
    return soft;
}

std::shared_ptr<cairo_surface_t> makeGrainTile() {
    const int size = FrostedGlassView::kGrainTileSize;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    const std::vector<double> noise = softNoise(size);
    // A box of nine uniform values rarely strays past a third of the range: that is full frost.
    constexpr double kFullFrost = 1.0 / 3;
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < size; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < size; ++x) {
            // Every pixel holds some frost, the noise only moves it up and down a little.
            const double frost = std::clamp(
                0.5 + noise[static_cast<std::size_t>(y * size + x)] / kFullFrost / 2, 0.0, 1.0);
            // Premultiplied white: every channel equals the alpha.
            const auto level = static_cast<std::uint32_t>(
                std::lround(frost * FrostedGlassView::kGrainStrength * 255));
            row[x] = level << 24 | level << 16 | level << 8 | level;
        }
    }
    cairo_surface_mark_dirty(surface);
    return ui::shareSurface(surface);
}

}  // namespace

double FrostedGlassView::tintOpacity(double opacity) {
    const double clamped = opacity > 0 ? std::min(opacity, 1.0) : 0.0;
    // Squared, so that from 60 % up less than a thirtieth of the backdrop comes through.
    return 1 - (1 - kLeastOpacity) * (1 - clamped) * (1 - clamped);
}

const std::shared_ptr<cairo_surface_t>& FrostedGlassView::grainTile() {
    // Made once: the same tile keeps every redraw of the frost equal to the last.
    static const std::shared_ptr<cairo_surface_t> tile = makeGrainTile();
    return tile;
}

ui::View FrostedGlassView::body(ui::ViewContext<ui::NoState>&) const {
    const ui::LinearGradient sheen{{{Palette::white(kSheenOpacity), 0}, {Palette::white(0), 0.5}}};
    // Hit like the plain tint it stands in for: the pointer resting on the cover is on its fill.
    return ui::ZStack({
        ui::View(ui::Color::gray(kTintLevel, tintOpacity(opacity))),
        ui::Rectangle().fill(ui::TexturePaint{grainTile()}),
        ui::Rectangle().fill(sheen),
    });
}

}  // namespace talvori
