#pragma once

#include "platform/desktop/Image.hpp"
#include "ui/Image.hpp"

namespace talvori::ui {

// A picture the platform draws on demand (an application's icon, the status artwork) as an image
// view of the same size in points. It is drawn once, at twice its size, so that it stays sharp
// when shown larger or on a dense screen; a template picture is tinted like a symbol.
Image platformImage(const talvori::Image& image);

}  // namespace talvori::ui
