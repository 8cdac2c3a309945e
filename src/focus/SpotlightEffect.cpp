#include "focus/SpotlightEffect.hpp"

namespace talvori {

std::string_view rawValue(SpotlightEffect effect) {
    return effect == SpotlightEffect::glass ? "glass" : "dim";
}

std::optional<SpotlightEffect> spotlightEffectFromRawValue(std::string_view text) {
    for (SpotlightEffect effect : kAllSpotlightEffects) {
        if (rawValue(effect) == text) return effect;
    }
    return std::nullopt;
}

}  // namespace talvori
