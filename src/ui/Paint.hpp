#pragma once

#include <cairo.h>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "ui/Alignment.hpp"
#include "ui/Color.hpp"
#include "ui/ProposedSize.hpp"

namespace talvori::ui {

struct GradientStop {
    Color color;
    double location = 0;
    bool operator==(const GradientStop&) const = default;
};

// Colours spread evenly when made from a list of colours.
struct LinearGradient {
    std::vector<GradientStop> stops;
    UnitPoint startPoint = UnitPoint::top();
    UnitPoint endPoint = UnitPoint::bottom();
    bool operator==(const LinearGradient&) const = default;

    static LinearGradient evenly(const std::vector<Color>& colors, UnitPoint start, UnitPoint end);
};

struct RadialGradient {
    std::vector<GradientStop> stops;
    UnitPoint center = UnitPoint::center();
    double startRadius = 0;
    double endRadius = 0;
    bool operator==(const RadialGradient&) const = default;
};

// A tile of pixels repeated over a shape, one tile pixel to one pixel of the screen at any scale,
// so that a fine grain stays fine and costs no resampling.
struct TexturePaint {
    std::shared_ptr<cairo_surface_t> tile;
    bool operator==(const TexturePaint&) const = default;
};

// What fills or strokes a shape.
class Paint {
  public:
    Paint(Color color) : value_(color) {}  // NOLINT: a colour is the common paint
    Paint(LinearGradient gradient) : value_(std::move(gradient)) {}  // NOLINT
    Paint(RadialGradient gradient) : value_(std::move(gradient)) {}  // NOLINT
    Paint(TexturePaint texture) : value_(std::move(texture)) {}      // NOLINT
    bool operator==(const Paint&) const = default;

    // The colour of a solid paint; gradients have none.
    std::optional<Color> color() const;
    bool isClear() const;
    // Makes this paint cairo's source for a shape laid out in `bounds`; a solid paint uses
    // `solidOverride` (its animated value) when given.
    void apply(cairo_t* cr, const Rect& bounds, const std::optional<Color>& solidOverride) const;

  private:
    std::variant<Color, LinearGradient, RadialGradient, TexturePaint> value_;
};

void setSourceColor(cairo_t* cr, const Color& color);

}  // namespace talvori::ui
