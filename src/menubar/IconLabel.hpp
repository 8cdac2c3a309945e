#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// A line icon from the image assets, scaled to fit a square of `side` points and tinted with the
// foreground colour.
View assetIcon(const std::string& asset, double side);

// The label of the panel's text buttons: an icon and a text side by side in one colour.
View iconLabel(View icon, const std::string& text, const Font& font, double spacing);

}  // namespace talvori::ui
