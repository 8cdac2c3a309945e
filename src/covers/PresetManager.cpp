#include "covers/PresetManager.hpp"

#include <ctime>
#include <string_view>

#include "platform/Platform.hpp"
#include "platform/core/JsonReader.hpp"
#include "platform/core/SaturatingCast.hpp"

namespace talvori {

namespace {

std::string utcTimeStamp(double date) {
    const auto seconds = saturatingCast<std::time_t>(date);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    if (std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts) == 0) return "unknown";
    return text;
}

}  // namespace

PresetManager::PresetManager(std::string key, std::shared_ptr<UserDefaults> defaults)
    : key(std::move(key)), defaults(std::move(defaults)), log_(platform().logger("Layouts")) {}

void PresetManager::save(const std::vector<PresetModel>& given) {
    const auto presets = withUnseenStored(given);
    JsonValue document = JsonValue::array();
    for (const auto& preset : presets) document.push_back(preset.toJson());
    const auto text = Json::dump(document);
    if (!text) {
        log_.error(
            "Could not encode %{public}zu layouts (a number is not finite); kept the "
            "stored layouts under %{public}s",
            presets.size(), key);
        return;
    }
    preserveUnreadableValue();
    Data data(text->begin(), text->end());
    knownReadable_ = data;
    see(presets);
    defaults->set(key, std::move(data));
}

std::vector<PresetModel> PresetManager::withUnseenStored(
    const std::vector<PresetModel>& presets) const {
    const auto stored = defaults->data(key);
    // What was last written or read here holds nothing unseen.
    if (!stored || stored == knownReadable_) return presets;
    auto merged = presets;
    for (auto& preset : decode(*stored).value_or(std::vector<PresetModel>{})) {
        if (!seen_.contains(preset.id)) merged.push_back(std::move(preset));
    }
    if (merged.size() > presets.size()) {
        log_.log("Kept %{public}zu layouts another program stored under %{public}s",
                 merged.size() - presets.size(), key);
    }
    return merged;
}

void PresetManager::see(const std::vector<PresetModel>& presets) const {
    for (const auto& preset : presets) seen_.insert(preset.id);
}

Registration PresetManager::observe(std::function<void()> onChange) const {
    return defaults->observe(key, std::move(onChange));
}

std::vector<PresetModel> PresetManager::load() const {
    const auto stored = defaults->object(key);
    if (!stored) return {};
    const Data* data = stored->get<Data>();
    if (!data) {
        log_.error("The value under %{public}s is not a layout document; showing no layouts", key);
        return {};
    }
    auto presets = decode(*data);
    if (!presets) {
        log_.error("The layouts under %{public}s do not decode; showing none", key);
        return {};
    }
    knownReadable_ = *data;
    see(*presets);
    return std::move(*presets);
}

std::optional<std::vector<PresetModel>> PresetManager::decode(const Data& data) {
    const auto json =
        Json::parse(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    if (!json) return std::nullopt;
    return decodeJson<std::vector<PresetModel>>(*json);
}

bool PresetManager::isReadable(const DefaultsValue& stored) const {
    const Data* data = stored.get<Data>();
    return data && (*data == knownReadable_ || decode(*data));
}

void PresetManager::preserveUnreadableValue() {
    const auto stored = defaults->object(key);
    if (!stored || isReadable(*stored)) return;
    const std::string backup = backupKey();
    defaults->set(backup, *stored);
    log_.error(
        "The layouts under %{public}s did not decode; copied them to %{public}s before "
        "saving",
        key, backup);
}

std::string PresetManager::backupKey() const {
    const std::string stem = key + ".unreadable." + utcTimeStamp(platform().clock().date());
    std::string candidate = stem;
    for (int suffix = 2; defaults->object(candidate); ++suffix) {
        candidate = stem + "-" + std::to_string(suffix);
    }
    return candidate;
}

}  // namespace talvori
