#include "ui/Paint.hpp"

namespace talvori::ui {

namespace {

void addStops(cairo_pattern_t* pattern, const std::vector<GradientStop>& stops) {
    for (const auto& stop : stops) {
        cairo_pattern_add_color_stop_rgba(pattern, stop.location, stop.color.red, stop.color.green,
                                          stop.color.blue, stop.color.alpha);
    }
}

Point pointIn(const Rect& bounds, UnitPoint unit) {
    return {bounds.minX() + unit.x * bounds.width(), bounds.minY() + unit.y * bounds.height()};
}

// The tile's pixels land on the pixels of the surface drawn into, whatever the user space's scale.
cairo_pattern_t* texturePattern(cairo_t* cr, const TexturePaint& texture) {
    if (!texture.tile) return cairo_pattern_create_rgba(0, 0, 0, 0);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(texture.tile.get());
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    cairo_matrix_t toDevice;
    cairo_get_matrix(cr, &toDevice);
    double scaleX = 1;
    double scaleY = 1;
    cairo_surface_get_device_scale(cairo_get_group_target(cr), &scaleX, &scaleY);
    cairo_matrix_t deviceScale;
    cairo_matrix_init_scale(&deviceScale, scaleX, scaleY);
    cairo_matrix_multiply(&toDevice, &toDevice, &deviceScale);
    cairo_pattern_set_matrix(pattern, &toDevice);
    return pattern;
}

}  // namespace

LinearGradient LinearGradient::evenly(const std::vector<Color>& colors, UnitPoint start,
                                      UnitPoint end) {
    LinearGradient gradient{{}, start, end};
    const auto count = colors.size();
    for (std::size_t i = 0; i < count; ++i) {
        const double location =
            count > 1 ? static_cast<double>(i) / static_cast<double>(count - 1) : 0;
        gradient.stops.push_back({colors[i], location});
    }
    return gradient;
}

std::optional<Color> Paint::color() const {
    if (const auto* color = std::get_if<Color>(&value_)) return *color;
    return std::nullopt;
}

bool Paint::isClear() const {
    const auto solid = color();
    return solid && solid->isClear();
}

void setSourceColor(cairo_t* cr, const Color& color) {
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
}

void Paint::apply(cairo_t* cr, const Rect& bounds,
                  const std::optional<Color>& solidOverride) const {
    if (const auto* color = std::get_if<Color>(&value_)) {
        setSourceColor(cr, solidOverride.value_or(*color));
        return;
    }
    cairo_pattern_t* pattern = nullptr;
    if (const auto* texture = std::get_if<TexturePaint>(&value_)) {
        pattern = texturePattern(cr, *texture);
    } else if (const auto* linear = std::get_if<LinearGradient>(&value_)) {
        const auto start = pointIn(bounds, linear->startPoint);
        const auto end = pointIn(bounds, linear->endPoint);
        pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
        addStops(pattern, linear->stops);
    } else {
        const auto& radial = std::get<RadialGradient>(value_);
        const auto center = pointIn(bounds, radial.center);
        pattern = cairo_pattern_create_radial(center.x, center.y, radial.startRadius, center.x,
                                              center.y, radial.endRadius);
        addStops(pattern, radial.stops);
    }
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}

}  // namespace talvori::ui
