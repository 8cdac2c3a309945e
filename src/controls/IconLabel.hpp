#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// A line icon from the image assets, scaled to fit a square of `side` points and tinted with the
// foreground colour.
View assetIcon(const std::string& asset, double side);

// A text kept on one line at its own width. Stacks ask every view how narrow it can get, and Pango
// answers that for a text only by breaking it after every letter and shaping each piece again: for
// the panel's short labels that costs more than all the rest of its layout.
View unbrokenText(const std::string& text);

// The label of the panel's text buttons: an icon and a text side by side in one colour.
View iconLabel(View icon, const std::string& text, const Font& font, double spacing);

}  // namespace talvori::ui
