#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace talvori {

// How Focus mode treats everything behind the focused window: a tint only, or a tint over the
// window server's background blur.
enum class SpotlightEffect { dim, glass };

inline constexpr std::array<SpotlightEffect, 2> kAllSpotlightEffects = {SpotlightEffect::dim,
                                                                        SpotlightEffect::glass};

// "dim" or "glass": the stored form.
std::string_view rawValue(SpotlightEffect effect);
// Any text other than the two raw values reads as absent.
std::optional<SpotlightEffect> spotlightEffectFromRawValue(std::string_view text);

}  // namespace talvori
