#include "covers/CodableRect.hpp"

#include "platform/core/JsonReader.hpp"

namespace talvori {

JsonValue CodableRect::toJson() const {
    JsonValue json = Json::object(4);
    json["x"] = x;
    json["y"] = y;
    json["width"] = width;
    json["height"] = height;
    return json;
}

std::optional<CodableRect> CodableRect::fromJson(const JsonValue& json) {
    JsonReader reader(json);
    CodableRect rect{
        .x = reader.required<double>("x"),
        .y = reader.required<double>("y"),
        .width = reader.required<double>("width"),
        .height = reader.required<double>("height"),
    };
    if (!reader.ok()) return std::nullopt;
    return rect;
}

}  // namespace talvori
