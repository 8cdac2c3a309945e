#include "covers/OverlayModel.hpp"

#include "platform/core/JsonReader.hpp"

namespace talvori {

JsonValue OverlayModel::toJson() const {
    JsonValue json = Json::object(10);
    json["id"] = id.uuidString();
    json["name"] = name;
    json["frame"] = frame.toJson();
    json["color"] = color.toJson();
    json["opacity"] = opacity;
    json["blurRadius"] = blurRadius;
    json["effectType"] = effectType.toJson();
    json["isClickThroughEnabled"] = isClickThroughEnabled;
    json["zOrderMode"] = zOrderMode.toJson();
    if (attachmentInfo) json["attachmentInfo"] = attachmentInfo->toJson();
    return json;
}

std::optional<OverlayModel> OverlayModel::fromJson(const JsonValue& json) {
    JsonReader reader(json);
    OverlayModel model{
        .id = reader.required<UUID>("id"),
        .name = reader.required<std::string>("name"),
        .frame = reader.required<CodableRect>("frame"),
        .color = reader.required<CodableColor>("color"),
        .opacity = reader.required<double>("opacity"),
        .blurRadius = reader.required<double>("blurRadius"),
        .effectType = reader.required<EffectType>("effectType"),
        .isClickThroughEnabled = reader.required<bool>("isClickThroughEnabled"),
        .zOrderMode = reader.required<ZOrderMode>("zOrderMode"),
        .attachmentInfo = reader.optional<AttachmentInfo>("attachmentInfo"),
    };
    if (!reader.ok()) return std::nullopt;
    return model;
}

}  // namespace talvori
