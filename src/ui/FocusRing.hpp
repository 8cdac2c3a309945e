#pragma once

namespace talvori::ui {

class Node;
struct DrawContext;

// The ring that shows which control has the keyboard focus: a thin line of the accent colour just
// inside the control's bounds, so that it needs no room beyond them. Drawn only while the window
// has the keys, as the caret is.
class FocusRing {
  public:
    static constexpr double kLineWidth = 1.5;
    static constexpr double kCornerRadius = 5;

    // Draws the ring over what `node` drew when it has the focus.
    static void drawIfFocused(const Node& node, DrawContext& context);
};

}  // namespace talvori::ui
