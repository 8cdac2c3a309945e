#pragma once

#include <pango/pangocairo.h>

#include "ui/TextMeasurer.hpp"

namespace talvori::ui {

// Lays text out with Pango in the system font (Inter), without hinting so that layouts are the
// same at every scale and on every run.
class PangoTextMeasurer final : public TextMeasurer {
  public:
    PangoTextMeasurer();
    ~PangoTextMeasurer() override;
    PangoTextMeasurer(const PangoTextMeasurer&) = delete;
    PangoTextMeasurer& operator=(const PangoTextMeasurer&) = delete;

    std::shared_ptr<const TextLayout> layout(std::string_view text, const TextStyle& style,
                                             std::optional<double> maxWidth) override;

    // A Pango layout of one unbroken line, shared with the fixed-metrics drawing.
    PangoLayout* makeLineLayout(std::string_view text, const TextStyle& style) const;
    // Draws `layout` at the current point.
    static void show(cairo_t* cr, PangoLayout* layout, TextRendering rendering);

  private:
    PangoFontMap* fontMap_;
    PangoContext* context_;
    TextLayoutCache cache_;
};

}  // namespace talvori::ui
