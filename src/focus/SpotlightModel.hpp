#pragma once

#include <optional>

#include "focus/SpotlightEffect.hpp"
#include "platform/core/DefaultsValue.hpp"
#include "platform/core/JsonValue.hpp"

namespace talvori {

// The six Focus settings as one plain value, and their stored form: a JSON object kept as data
// under "spotlight.settings". The member initialisers are the settings a new user starts with.
struct SpotlightModel {
    static constexpr const char* kDefaultsKey = "spotlight.settings";

    double dimOpacity = 0.5;
    double glassOpacity = 0.5;
    bool glassOpacityLinked = true;
    SpotlightEffect effect = SpotlightEffect::dim;
    double blurRadius = 20.0;
    double fadeDuration = 0.2;

    bool operator==(const SpotlightModel&) const = default;

    JsonValue toJson() const;
    // All six members are required and must have their types; other members are ignored. A
    // number that is not finite fails the whole record.
    static std::optional<SpotlightModel> fromJson(const JsonValue& json);

    // The UTF-8 bytes of the compact JSON object; absent when a number cannot be written.
    std::optional<Data> encoded() const;
    static std::optional<SpotlightModel> decoded(const Data& bytes);

    // The cross-fade length a requested value gives: 0.05 s at the least, 0.45 s at the most,
    // rounded to hundredths (halves away from zero).
    static double clampedFadeDuration(double seconds);
};

}  // namespace talvori
