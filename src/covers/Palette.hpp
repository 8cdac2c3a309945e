#pragma once

#include "platform/desktop/Color.hpp"

namespace talvori {

// The fixed colours of the interface. None changes at run time or with the system appearance.
// `accent`, `ink` and `red` each serve several groups of views.
namespace Palette {
// The platform's white or black at an opacity: the translucent layers of the dark panels.
constexpr Color white(double opacity) {
    return {1, 1, 1, opacity};
}
constexpr Color black(double opacity) {
    return {0, 0, 0, opacity};
}

inline constexpr Color accent = Color::rgb255(245, 160, 53);
inline constexpr Color accentTint15 = Color::rgb255(245, 160, 53, 0.15);
inline constexpr Color accentTint25 = Color::rgb255(245, 160, 53, 0.25);
inline constexpr Color accentTint376 = Color::rgb255(245, 160, 53, 0.376);
inline constexpr Color accentTint40 = Color::rgb255(245, 160, 53, 0.4);
inline constexpr Color accentTint459 = Color::rgb255(245, 160, 53, 0.459);
inline constexpr Color accentLight = Color::rgb255(247, 171, 69);
inline constexpr Color accentDeep = Color::rgb255(212, 138, 37);
inline constexpr Color ink = Color::rgb255(21, 24, 32);
inline constexpr Color indigo = Color::rgb255(45, 48, 80);
inline constexpr Color green = Color::rgb255(52, 199, 89);
inline constexpr Color red = Color::rgb255(217, 85, 85);
inline constexpr Color redTint19 = Color::rgb255(217, 85, 85, 0.19);
inline constexpr Color redTint271 = Color::rgb255(217, 85, 85, 0.271);
inline constexpr Color redTint376 = Color::rgb255(217, 85, 85, 0.376);
inline constexpr Color infoBackground = Color::rgb255(10, 10, 10, 0.85);
inline constexpr Color infoGrey = {0.184, 0.184, 0.184, 1};

// Translucent whites, named by their opacity in percent ("_" for the decimal point).
inline constexpr Color white2_4 = white(0.024);
inline constexpr Color white4 = white(0.04);
inline constexpr Color white5_9 = white(0.059);
inline constexpr Color white6 = white(0.06);
inline constexpr Color white6_3 = white(0.063);
inline constexpr Color white7_1 = white(0.071);
inline constexpr Color white8_2 = white(0.082);
inline constexpr Color white9_4 = white(0.094);
inline constexpr Color white10 = white(0.1);
inline constexpr Color white14_5 = white(0.145);
inline constexpr Color white18_8 = white(0.188);
inline constexpr Color white27 = white(0.27);
inline constexpr Color white33 = white(0.33);
inline constexpr Color white48 = white(0.48);
inline constexpr Color white80 = white(0.8);
inline constexpr Color black40 = black(0.4);
inline constexpr Color black70 = black(0.7);
}  // namespace Palette

}  // namespace talvori
