#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// One key cap: a glyph ("⌘", "N", "esc") on a small rounded cap. The field shows the stored
// shortcut in field-size caps, the popover its rows in popover-size caps, and the footer hints in
// footer-size caps. Hidden from accessibility: the recorder speaks what the caps show.
struct Keycap {
    enum class Size { field, popover, footer };
    enum class Style { rest, example, lit, slot, rejected };

    std::string glyph;
    Size size = Size::popover;
    Style style = Style::rest;

    bool operator==(const Keycap&) const = default;
    View body(ViewContext<NoState>& ctx) const;

    // A cap is exactly this high, and at least this wide.
    static double side(Size size);
};

}  // namespace talvori::ui
