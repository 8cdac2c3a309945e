#pragma once

#include "ui/UI.hpp"

namespace talvori::ui {

// How the first-run window draws its boxes and badges: the content on a fill, clipped to a
// rounded rectangle with continuous corners, with a 1-point border inside the edge.
View boxed(const View& content, const Color& fill, const Color& border, double cornerRadius);

}  // namespace talvori::ui
