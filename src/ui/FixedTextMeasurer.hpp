#pragma once

#include <memory>

#include "ui/PangoTextMeasurer.hpp"
#include "ui/TextMeasurer.hpp"

namespace talvori::ui {

// Font-independent metrics for layout tests: every character advances 0.6 × the font size (plus
// tracking), a line is 1.2 × the size tall and its baseline lies 1.0 × the size below its top.
// Lines break between words (inside a word only when the word alone is too wide); a text that
// needs more lines than its limit, or a one-line text wider than its width, ends in "…". The lines
// are still drawn with Pango, so pictures show real glyphs in the fixed boxes.
class FixedTextMeasurer final : public TextMeasurer {
  public:
    static constexpr double kAdvance = 0.6;
    static constexpr double kLineHeight = 1.2;
    static constexpr double kBaseline = 1.0;

    FixedTextMeasurer();
    std::shared_ptr<const TextLayout> layout(std::string_view text, const TextStyle& style,
                                             std::optional<double> maxWidth) override;

  private:
    std::shared_ptr<PangoTextMeasurer> drawing_;
    TextLayoutCache cache_;
};

}  // namespace talvori::ui
