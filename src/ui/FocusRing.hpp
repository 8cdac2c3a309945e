#pragma once

namespace talvori::ui {

class Node;
struct DrawContext;

// The ring that shows which control has the keyboard focus: a thin line of the accent colour a
// little outside the control, so that it shows on a control filled with the accent colour too.
// Where a clip or the window's edge leaves no room, it lies just inside the control, with a line
// of a colour that stands out from the accent inside it. Drawn only while the window has the
// keys, as the caret is.
class FocusRing {
  public:
    static constexpr double kLineWidth = 2;
    static constexpr double kGap = 1.5;
    static constexpr double kCornerRadius = 5;
    // How far the ring reaches beyond the control's bounds.
    static constexpr double kOutset = kGap + kLineWidth;

    // Draws the ring over what `node` drew when it has the focus.
    static void drawIfFocused(const Node& node, DrawContext& context);
    // The drawing outset of a control that draws the ring: the ring's while it has the focus.
    static double drawingOutset(const Node& node);
};

}  // namespace talvori::ui
