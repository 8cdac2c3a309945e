#include "covers/CodableColor.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/core/JsonReader.hpp"

namespace talvori {

namespace {

// 0 for a component of 0 or less (and for NaN, which must never reach an integer conversion);
// otherwise the nearest of 0...255, halves away from zero, so 0.5 gives 128.
int channelValue(double component) {
    if (!(component > 0)) return 0;
    return static_cast<int>(std::lround(std::min(component, 1.0) * 255));
}

}  // namespace

CodableColor CodableColor::fromPlatformColor(const Color& color) {
    return {color.red, color.green, color.blue, color.alpha};
}

// Platform colours are sRGB already, so every colour has an sRGB form.
std::optional<std::pair<std::string, CodableColor>> CodableColor::opaqueHex(const Color& color) {
    const int red = channelValue(color.red);
    const int green = channelValue(color.green);
    const int blue = channelValue(color.blue);
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", red, green, blue);
    return std::pair{std::string(text), CodableColor{red / 255.0, green / 255.0, blue / 255.0, 1}};
}

JsonValue CodableColor::toJson() const {
    JsonValue json = Json::object(4);
    json["red"] = red;
    json["green"] = green;
    json["blue"] = blue;
    json["alpha"] = alpha;
    return json;
}

std::optional<CodableColor> CodableColor::fromJson(const JsonValue& json) {
    JsonReader reader(json);
    CodableColor color{
        .red = reader.required<double>("red"),
        .green = reader.required<double>("green"),
        .blue = reader.required<double>("blue"),
        .alpha = reader.required<double>("alpha"),
    };
    if (!reader.ok()) return std::nullopt;
    return color;
}

}  // namespace talvori
