#include "covers/PresetModel.hpp"

#include "platform/core/JsonReader.hpp"

namespace talvori {

JsonValue PresetModel::toJson() const {
    JsonValue covers = JsonValue::array();
    covers.get_ref<JsonValue::array_t&>().reserve(overlays.size());
    for (const auto& overlay : overlays) covers.push_back(overlay.toJson());
    JsonValue json = Json::object(3);
    json["id"] = id.uuidString();
    json["name"] = name;
    json["overlays"] = std::move(covers);
    return json;
}

std::optional<PresetModel> PresetModel::fromJson(const JsonValue& json) {
    JsonReader reader(json);
    PresetModel preset{
        .id = reader.required<UUID>("id"),
        .name = reader.required<std::string>("name"),
        .overlays = reader.required<std::vector<OverlayModel>>("overlays"),
    };
    if (!reader.ok()) return std::nullopt;
    return preset;
}

}  // namespace talvori
