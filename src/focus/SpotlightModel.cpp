#include "focus/SpotlightModel.hpp"

#include <algorithm>
#include <cmath>

#include "platform/core/JsonReader.hpp"

namespace talvori {

JsonValue SpotlightModel::toJson() const {
    JsonValue json = JsonValue::object();
    json["dimOpacity"] = dimOpacity;
    json["glassOpacity"] = glassOpacity;
    json["glassOpacityLinked"] = glassOpacityLinked;
    json["effect"] = effect.toJson();
    json["blurRadius"] = blurRadius;
    json["fadeDuration"] = fadeDuration;
    return json;
}

std::optional<SpotlightModel> SpotlightModel::fromJson(const JsonValue& json) {
    JsonReader reader(json);
    SpotlightModel model{
        .dimOpacity = reader.required<double>("dimOpacity"),
        .glassOpacity = reader.required<double>("glassOpacity"),
        .glassOpacityLinked = reader.required<bool>("glassOpacityLinked"),
        .effect = reader.required<SpotlightEffect>("effect"),
        .blurRadius = reader.required<double>("blurRadius"),
        .fadeDuration = reader.required<double>("fadeDuration"),
    };
    if (!reader.ok()) return std::nullopt;
    return model;
}

std::optional<Data> SpotlightModel::encoded() const {
    const auto text = Json::dump(toJson());
    if (!text) return std::nullopt;
    return Data(text->begin(), text->end());
}

std::optional<SpotlightModel> SpotlightModel::decoded(const Data& bytes) {
    const auto json =
        Json::parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!json) return std::nullopt;
    return fromJson(*json);
}

double SpotlightModel::clampedFadeDuration(double seconds) {
    // Written so that NaN takes the floor instead of slipping through both comparisons.
    if (!(seconds > 0.05)) return 0.05;
    return std::round(std::min(seconds, 0.45) * 100.0) / 100.0;
}

}  // namespace talvori
