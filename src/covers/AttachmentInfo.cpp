#include "covers/AttachmentInfo.hpp"

#include "platform/core/JsonReader.hpp"

namespace talvori {

JsonValue AttachmentInfo::toJson() const {
    JsonValue json = Json::object(3);
    json["targetPID"] = targetPID;
    Json::setOptional(json, "targetBundleID", targetBundleID);
    Json::setOptional(json, "targetWindowTitle", targetWindowTitle);
    return json;
}

std::optional<AttachmentInfo> AttachmentInfo::fromJson(const JsonValue& json) {
    JsonReader reader(json);
    AttachmentInfo info{
        .targetPID = reader.required<std::int32_t>("targetPID"),
        .targetBundleID = reader.optional<std::string>("targetBundleID"),
        .targetWindowTitle = reader.optional<std::string>("targetWindowTitle"),
    };
    if (!reader.ok()) return std::nullopt;
    return info;
}

}  // namespace talvori
