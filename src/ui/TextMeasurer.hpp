#pragma once

#include <cairo.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ui/Environment.hpp"
#include "ui/Font.hpp"
#include "ui/ProposedSize.hpp"

namespace talvori::ui {

// What decides how a text is broken, cut and measured.
struct TextStyle {
    Font font;
    double tracking = 0;
    std::optional<int> lineLimit{};
    TextAlignment alignment = TextAlignment::leading;
    bool underline = false;
    // Extra space between lines, in points.
    double lineSpacing = 0;
    bool operator==(const TextStyle&) const = default;
};

// How a text is drawn: as glyphs, which the fonts keep for each scale they are drawn at (an X
// server keeps a glyph set for each), or as filled outlines, which keep nothing.
enum class TextRendering { glyphs, outlines };

// A text broken into lines for one width: its size, its first baseline, and how to draw it.
class TextLayout {
  public:
    virtual ~TextLayout() = default;

    Size size;
    // Distance from the top of the first line to its baseline.
    double firstBaseline = 0;
    int lineCount = 0;
    bool isTruncated = false;
    // The text as shown, with "…" where it was cut (fixed metrics only; Pango shows the whole text
    // here and sets isTruncated).
    std::string visibleText;

    // Draws with cairo's current source, the layout's top left at the current origin.
    virtual void draw(cairo_t* cr, TextRendering rendering) const = 0;
    // Horizontal position of the caret before the byte at `index` (single-line texts).
    virtual double offsetForIndex(std::size_t index) const = 0;
    // The caret index nearest to `x`, on a character boundary.
    virtual std::size_t indexForOffset(double x) const = 0;
};

// Recent layouts by text, style and width: views ask for the same texts at the same widths on
// every pass.
class TextLayoutCache {
  public:
    std::shared_ptr<const TextLayout> find(std::string_view text, const TextStyle& style,
                                           std::optional<double> maxWidth);
    void store(std::string_view text, const TextStyle& style, std::optional<double> maxWidth,
               std::shared_ptr<const TextLayout> layout);

  private:
    static constexpr std::size_t kLimit = 1024;
    static std::string key(std::string_view text, const TextStyle& style,
                           std::optional<double> maxWidth);
    std::unordered_map<std::string, std::shared_ptr<const TextLayout>> layouts_;
};

// Measures and breaks text. Pango for drawing and pictures; fixed metrics where layout must not
// depend on fonts.
class TextMeasurer {
  public:
    virtual ~TextMeasurer() = default;
    // Lays `text` out for a width of at most `maxWidth` (none: one line per paragraph).
    virtual std::shared_ptr<const TextLayout> layout(std::string_view text, const TextStyle& style,
                                                     std::optional<double> maxWidth) = 0;
};

}  // namespace talvori::ui
