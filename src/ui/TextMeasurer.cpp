#include "ui/TextMeasurer.hpp"

namespace talvori::ui {

std::string TextLayoutCache::key(std::string_view text, const TextStyle& style,
                                 std::optional<double> maxWidth) {
    // The text followed by the raw bytes of what else decides the layout.
    struct Settings {
        double size, tracking, width, lineSpacing;
        int weight, lineLimit, alignment, flags;
    } settings{style.font.size,
               style.tracking,
               maxWidth.value_or(-1),
               style.lineSpacing,
               static_cast<int>(style.font.weight),
               style.lineLimit.value_or(0),
               static_cast<int>(style.alignment),
               (style.font.monospacedDigits ? 1 : 0) | (style.underline ? 2 : 0)};
    // Padding bytes would be read uninitialised into the key, and no two keys would match.
    static_assert(sizeof(Settings) == 4 * sizeof(double) + 4 * sizeof(int));
    std::string key(text);
    key.append(reinterpret_cast<const char*>(&settings), sizeof settings);
    return key;
}

std::shared_ptr<const TextLayout> TextLayoutCache::find(std::string_view text,
                                                        const TextStyle& style,
                                                        std::optional<double> maxWidth) {
    const auto found = layouts_.find(key(text, style, maxWidth));
    return found == layouts_.end() ? nullptr : found->second;
}

void TextLayoutCache::store(std::string_view text, const TextStyle& style,
                            std::optional<double> maxWidth,
                            std::shared_ptr<const TextLayout> layout) {
    if (layouts_.size() >= kLimit) layouts_.clear();
    layouts_.emplace(key(text, style, maxWidth), std::move(layout));
}

}  // namespace talvori::ui
