#include "covers/CodableColor.hpp"

#include "platform/core/JsonReader.hpp"

namespace talvori {

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
