#include "ui/FixedTextMeasurer.hpp"

#include <glib.h>

#include <cmath>
#include <memory>
#include <vector>

namespace talvori::ui {

namespace {

constexpr std::string_view kEllipsis = "\u2026";

std::size_t characterCount(std::string_view text) {
    return static_cast<std::size_t>(g_utf8_strlen(text.data(), static_cast<gssize>(text.size())));
}

// The first `count` characters of `text`.
std::string_view prefix(std::string_view text, std::size_t count) {
    const char* end = g_utf8_offset_to_pointer(text.data(), static_cast<glong>(count));
    return text.substr(0, static_cast<std::size_t>(end - text.data()));
}

class FixedTextLayout final : public TextLayout {
  public:
    FixedTextLayout(std::vector<std::string> lines, const TextStyle& style, double advance,
                    std::shared_ptr<PangoTextMeasurer> drawing)
        : lines_(std::move(lines)), style_(style), advance_(advance), drawing_(std::move(drawing)) {
        const double lineHeight = FixedTextMeasurer::kLineHeight * style.font.size;
        for (const auto& line : lines_) size.width = std::max(size.width, widthOf(line));
        size.height =
            lineHeight * static_cast<double>(lines_.size()) +
            style.lineSpacing * static_cast<double>(lines_.empty() ? 0 : lines_.size() - 1);
        firstBaseline = FixedTextMeasurer::kBaseline * style.font.size;
        lineCount = static_cast<int>(lines_.size());
        for (std::size_t i = 0; i < lines_.size(); ++i) visibleText += (i ? "\n" : "") + lines_[i];
    }

    double widthOf(std::string_view line) const {
        return advance_ * static_cast<double>(characterCount(line));
    }

    void draw(cairo_t* cr, TextRendering rendering) const override {
        const double lineHeight = FixedTextMeasurer::kLineHeight * style_.font.size;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const double free = size.width - widthOf(lines_[i]);
            const double x = style_.alignment == TextAlignment::leading  ? 0
                             : style_.alignment == TextAlignment::center ? free / 2
                                                                         : free;
            cairo_move_to(cr, x, (lineHeight + style_.lineSpacing) * static_cast<double>(i));
            PangoTextMeasurer::show(cr, lineLayout(i), rendering);
        }
    }

    double offsetForIndex(std::size_t index) const override {
        const std::string_view line = lines_.empty() ? std::string_view{} : lines_.front();
        return widthOf(line.substr(0, std::min(index, line.size())));
    }

    std::size_t indexForOffset(double x) const override {
        const std::string_view line = lines_.empty() ? std::string_view{} : lines_.front();
        const auto count = characterCount(line);
        const auto wanted = static_cast<std::size_t>(
            std::clamp(std::lround(x / advance_), 0L, static_cast<long>(count)));
        return prefix(line, wanted).size();
    }

  private:
    // Made on first drawing and kept: layouts are drawn far more often than made.
    PangoLayout* lineLayout(std::size_t index) const {
        if (lineLayouts_.empty()) {
            for (const auto& line : lines_) {
                lineLayouts_.emplace_back(drawing_->makeLineLayout(line, style_), g_object_unref);
            }
        }
        return lineLayouts_[index].get();
    }

    std::vector<std::string> lines_;
    mutable std::vector<std::unique_ptr<PangoLayout, void (*)(void*)>> lineLayouts_;
    TextStyle style_;
    double advance_;
    std::shared_ptr<PangoTextMeasurer> drawing_;
};

// Breaks one paragraph into lines no wider than `maxChars` characters.
std::vector<std::string> wrapParagraph(std::string_view paragraph, std::size_t maxChars) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t start = 0;
    while (start <= paragraph.size()) {
        auto space = paragraph.find(' ', start);
        if (space == std::string_view::npos) space = paragraph.size();
        std::string_view word = paragraph.substr(start, space - start);
        const std::string candidate =
            line.empty() ? std::string(word) : line + " " + std::string(word);
        if (characterCount(candidate) <= maxChars || line.empty()) {
            line = candidate;
        } else {
            lines.push_back(line);
            line = std::string(word);
        }
        // A word wider than the line is broken between characters.
        while (characterCount(line) > maxChars && maxChars > 0) {
            const auto head = prefix(line, maxChars);
            lines.emplace_back(head);
            line.erase(0, head.size());
        }
        start = space + 1;
    }
    lines.push_back(line);
    return lines;
}

// `line` cut so that it and "…" fit in `maxChars` characters.
std::string truncated(std::string_view line, std::size_t maxChars) {
    const std::size_t keep = maxChars > 0 ? maxChars - 1 : 0;
    return std::string(prefix(line, std::min(keep, characterCount(line)))) + std::string(kEllipsis);
}

}  // namespace

FixedTextMeasurer::FixedTextMeasurer() : drawing_(std::make_shared<PangoTextMeasurer>()) {}

std::shared_ptr<const TextLayout> FixedTextMeasurer::layout(std::string_view text,
                                                            const TextStyle& style,
                                                            std::optional<double> maxWidth) {
    if (auto cached = cache_.find(text, style, maxWidth)) return cached;
    const double advance = kAdvance * style.font.size + style.tracking;
    // Characters of no width all fit, however narrow the line.
    const bool bounded = maxWidth && std::isfinite(*maxWidth) && advance > 0;
    const std::size_t maxChars =
        bounded ? static_cast<std::size_t>(std::floor(std::max(0.0, *maxWidth) / advance + 1e-9))
                : SIZE_MAX;
    const bool singleLine = style.lineLimit && *style.lineLimit <= 1;

    std::vector<std::string> lines;
    bool cut = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto newline = text.find('\n', start);
        if (newline == std::string_view::npos) newline = text.size();
        const auto paragraph = text.substr(start, newline - start);
        if (singleLine || !bounded) {
            lines.emplace_back(paragraph);
        } else {
            for (auto& line : wrapParagraph(paragraph, maxChars)) lines.push_back(std::move(line));
        }
        start = newline + 1;
    }
    if (style.lineLimit && lines.size() > static_cast<std::size_t>(std::max(1, *style.lineLimit))) {
        const auto limit = static_cast<std::size_t>(std::max(1, *style.lineLimit));
        std::string last = lines[limit - 1];
        for (std::size_t i = limit; i < lines.size(); ++i) last += " " + lines[i];
        lines.resize(limit);
        lines.back() = bounded ? truncated(last, maxChars) : last + std::string(kEllipsis);
        cut = true;
    }
    if (bounded) {
        for (auto& line : lines) {
            if (characterCount(line) > maxChars) {
                line = truncated(line, maxChars);
                cut = true;
            }
        }
    }
    auto result = std::make_shared<FixedTextLayout>(std::move(lines), style, advance, drawing_);
    result->isTruncated = cut;
    cache_.store(text, style, maxWidth, result);
    return result;
}

}  // namespace talvori::ui
