#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop/Image.hpp"
#include "ui/IconCatalog.hpp"
#include "ui/Image.hpp"

namespace talvori::ui {

// A picture the platform draws on demand (an application's icon, the status artwork) as an image
// view of the same size in points. It is drawn once, at twice its size, so that it stays sharp
// when shown larger or on a dense screen; a template picture is tinted like a symbol.
Image platformImage(const talvori::Image& image);

// The catalog's artwork `name` as a template picture of `size` for the desktop to tint (the
// status item's); none when the name is not in the table or its file cannot be loaded, so that a
// broken installation shows an empty image rather than a blank square that still takes clicks.
std::optional<talvori::Image> assetImage(std::string_view name, Size size,
                                         std::string directory = IconCatalog::defaultDirectory());

}  // namespace talvori::ui
