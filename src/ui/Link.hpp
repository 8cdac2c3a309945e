#pragma once

#include <string>

#include "ui/View.hpp"

namespace talvori::ui {

// Underlined text (or any label, its texts underlined) that opens `url` through the workspace
// when clicked: no bezel, the pointing-hand pointer while hovered, a link for accessibility.
// Colour and font come from the environment, as for any text.
class Link : public View {
  public:
    Link(std::string title, std::string url);
    Link(View label, std::string url);
};

}  // namespace talvori::ui
