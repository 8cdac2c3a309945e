#include "ui/PangoTextMeasurer.hpp"

#include <cmath>
#include <limits>

namespace talvori::ui {

namespace {

constexpr const char* kFamily = "Inter";
// Pango keeps widths in integers of 1/PANGO_SCALE points; a line offered more is not limited at all
// (as one offered infinity or no number).
constexpr double kWidestLine = std::numeric_limits<int>::max() / PANGO_SCALE - 1;

PangoWeight pangoWeight(FontWeight weight) {
    switch (weight) {
        case FontWeight::regular:
            return PANGO_WEIGHT_NORMAL;
        case FontWeight::medium:
            return PANGO_WEIGHT_MEDIUM;
        case FontWeight::semibold:
            return PANGO_WEIGHT_SEMIBOLD;
        case FontWeight::bold:
            return PANGO_WEIGHT_BOLD;
    }
    return PANGO_WEIGHT_NORMAL;
}

PangoAlignment pangoAlignment(TextAlignment alignment) {
    switch (alignment) {
        case TextAlignment::leading:
            return PANGO_ALIGN_LEFT;
        case TextAlignment::center:
            return PANGO_ALIGN_CENTER;
        case TextAlignment::trailing:
            return PANGO_ALIGN_RIGHT;
    }
    return PANGO_ALIGN_LEFT;
}

void applyStyle(PangoLayout* layout, const TextStyle& style) {
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family_static(description, kFamily);
    pango_font_description_set_weight(description, pangoWeight(style.font.weight));
    pango_font_description_set_absolute_size(description, style.font.size * PANGO_SCALE);
    pango_layout_set_font_description(layout, description);
    pango_font_description_free(description);

    PangoAttrList* attributes = pango_attr_list_new();
    if (style.tracking != 0) {
        pango_attr_list_insert(attributes, pango_attr_letter_spacing_new(static_cast<int>(
                                               std::lround(style.tracking * PANGO_SCALE))));
    }
    if (style.font.monospacedDigits)
        pango_attr_list_insert(attributes, pango_attr_font_features_new("tnum"));
    if (style.underline)
        pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
    pango_layout_set_alignment(layout, pangoAlignment(style.alignment));
    if (style.lineSpacing > 0)
        pango_layout_set_spacing(layout,
                                 static_cast<int>(std::lround(style.lineSpacing * PANGO_SCALE)));
}

class PangoTextLayout final : public TextLayout {
  public:
    explicit PangoTextLayout(PangoLayout* layout) : layout_(layout) {
        PangoRectangle logical;
        pango_layout_get_extents(layout_, nullptr, &logical);
        originX_ = static_cast<double>(logical.x) / PANGO_SCALE;
        size = {static_cast<double>(logical.width) / PANGO_SCALE,
                static_cast<double>(logical.height) / PANGO_SCALE};
        firstBaseline = static_cast<double>(pango_layout_get_baseline(layout_)) / PANGO_SCALE;
        lineCount = pango_layout_get_line_count(layout_);
        isTruncated = pango_layout_is_ellipsized(layout_);
        visibleText = pango_layout_get_text(layout_);
    }
    ~PangoTextLayout() override { g_object_unref(layout_); }
    PangoTextLayout(const PangoTextLayout&) = delete;
    PangoTextLayout& operator=(const PangoTextLayout&) = delete;

    void draw(cairo_t* cr, TextRendering rendering) const override {
        cairo_save(cr);
        cairo_translate(cr, -originX_, 0);
        PangoTextMeasurer::show(cr, layout_, rendering);
        cairo_restore(cr);
    }

    double offsetForIndex(std::size_t index) const override {
        PangoRectangle position;
        pango_layout_index_to_pos(layout_, static_cast<int>(index), &position);
        return static_cast<double>(position.x) / PANGO_SCALE - originX_;
    }

    std::size_t indexForOffset(double x) const override {
        int index = 0, trailing = 0;
        pango_layout_xy_to_index(layout_,
                                 static_cast<int>(std::lround((x + originX_) * PANGO_SCALE)), 0,
                                 &index, &trailing);
        const char* text = pango_layout_get_text(layout_);
        const char* position = text + index;
        for (int i = 0; i < trailing && *position; ++i) position = g_utf8_next_char(position);
        return static_cast<std::size_t>(position - text);
    }

  private:
    PangoLayout* layout_;
    double originX_ = 0;
};

// Whether the text laid out without a width limit is what a limit of `maxWidth` gives: nothing to
// break or cut, and lines that keep their places (alignment moves several lines by amounts that
// depend on the width, rounded to Pango's units).
bool fitsUnbroken(const TextLayout& natural, const TextStyle& style, double maxWidth) {
    return natural.size.width <= maxWidth &&
           (natural.lineCount <= 1 || style.alignment == TextAlignment::leading);
}

}  // namespace

PangoTextMeasurer::PangoTextMeasurer()
    // Pango's own font map for this thread, shared by every measurer: a map of our own would load
    // the fonts and their shaping tables again for every window opened.
    : fontMap_(PANGO_FONT_MAP(g_object_ref(pango_cairo_font_map_get_default()))),
      context_(pango_font_map_create_context(fontMap_)) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
}

PangoTextMeasurer::~PangoTextMeasurer() {
    cache_ = {};
    g_object_unref(context_);
    g_object_unref(fontMap_);
}

void PangoTextMeasurer::show(cairo_t* cr, PangoLayout* layout, TextRendering rendering) {
    if (rendering == TextRendering::glyphs) {
        pango_cairo_show_layout(cr, layout);
        return;
    }
    double x = 0, y = 0;
    if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &x, &y);
    cairo_new_path(cr);
    cairo_move_to(cr, x, y);
    pango_cairo_layout_path(cr, layout);
    cairo_fill(cr);
}

PangoLayout* PangoTextMeasurer::makeLineLayout(std::string_view text,
                                               const TextStyle& style) const {
    PangoLayout* layout = pango_layout_new(context_);
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    applyStyle(layout, style);
    return layout;
}

std::shared_ptr<const TextLayout> PangoTextMeasurer::layout(std::string_view text,
                                                            const TextStyle& style,
                                                            std::optional<double> maxWidth) {
    if (auto cached = cache_.find(text, style, maxWidth)) return cached;
    const bool limited = maxWidth && *maxWidth < kWidestLine;
    if (maxWidth) {
        // Stacks offer a text many widths; shaping it again for each costs more than all the rest
        // of layout. Where the unbroken text fits, Pango would break nothing and draw the same.
        auto natural = layout(text, style, std::nullopt);
        if (!limited || fitsUnbroken(*natural, style, *maxWidth)) {
            cache_.store(text, style, maxWidth, natural);
            return natural;
        }
    }

    PangoLayout* layout = makeLineLayout(text, style);
    if (limited) {
        // A hair of slack, so that laying a text out at its own measured width never breaks it;
        // the measured width leaves out the spacing after the last letter, which breaking counts.
        const double slack = 0.01 + std::abs(style.tracking);
        pango_layout_set_width(
            layout, static_cast<int>(std::ceil((std::max(0.0, *maxWidth) + slack) * PANGO_SCALE)));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        if (style.lineLimit) {
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
            pango_layout_set_height(layout, -std::max(1, *style.lineLimit));
        }
    }
    auto result = std::make_shared<const PangoTextLayout>(layout);
    cache_.store(text, style, maxWidth, result);
    return result;
}

}  // namespace talvori::ui
