#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/Color.hpp"
#include "platform/desktop/Image.hpp"

namespace talvori::freedesktop {

// The status item's picture at the pixel sizes trays ask for. A template image is a mask: it is
// drawn in one colour chosen to stand out on the panel behind it.
class StatusIcon {
  public:
    // The sizes offered to hosts that scale for themselves.
    static constexpr int kSizes[] = {16, 22, 24, 32, 48};
    static constexpr Color kLightTint = Color::rgb255(240, 240, 240);
    static constexpr Color kDarkTint = Color::rgb255(36, 36, 40);

    // Draws `image` centred in `area` (pixels, y down) of `context`.
    static void draw(cairo_t* context, const Image& image, const Rect& area, const Color& tint);
    // `size` x `size` pixels as ARGB32 in network byte order, not premultiplied: the form of
    // status-notifier icons.
    static std::vector<std::uint8_t> networkOrderPixels(const std::optional<Image>& image, int size,
                                                        const Color& tint);
    // The tint that stands out on a panel of `background`.
    static Color tintOn(const Color& background);
    // The tint that stands out most, on average, on a panel made of these pixels.
    static Color tintOver(const std::vector<Color>& background);
    // The contrast ratio of two opaque colours (1 to 21), as accessibility guidelines measure it.
    static double contrast(const Color& first, const Color& second);
    // Which of `width` x `height` pixels, row by row, `image` drawn centred on them touches.
    static std::vector<bool> coverage(const Image& image, int width, int height);
    // The tint for a panel we cannot see: by the desktop (GNOME's bar is always dark) and the
    // theme's name (a light theme has light panels). Dark panels are the more common guess.
    static Color tintForTheme(const std::string& desktop, const std::optional<std::string>& theme);
    // Where hosts find the program's status icons by name besides the icon theme: nothing when
    // the theme has them (the program is installed), else a folder of ours laid out as an icon
    // theme, written on the first call of each run. Empty when it cannot be written: the pixels
    // remain.
    static std::string iconThemePath();
};

}  // namespace talvori::freedesktop
