#pragma once

#include <optional>
#include <string>

namespace talvori {

// What a Blur slider says instead of offering a strength, where its radius changes nothing on
// screen: the desktop blurs nothing, or blurs at a strength of its own. None where the radius is
// the blur's strength. Read observably: a view that asks is drawn again when the desktop's blur
// comes or goes.
std::optional<std::string> blurSliderNote();

}  // namespace talvori
