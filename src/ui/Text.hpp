#pragma once

#include <string>

#include "ui/View.hpp"

namespace talvori::ui {

class Node;
class TextLayout;

// A text shown verbatim in the environment's font, foreground colour, tracking and line limit.
// It wraps between words to the width offered; past its line limit it ends in "…".
class Text : public View {
  public:
    explicit Text(std::string text);
};

// The layout a Text node shows, for inspection; none for other nodes.
const TextLayout* shownTextLayout(const Node& node);

}  // namespace talvori::ui
