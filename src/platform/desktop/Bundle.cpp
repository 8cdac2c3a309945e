#include "platform/desktop/Bundle.hpp"

namespace talvori {

const Bundle::Value* Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    if (!info_) return nullptr;
    const auto found = info_->find(key);
    return found == info_->end() ? nullptr : &found->second;
}

std::optional<std::string> Bundle::string(std::string_view key) const {
    const Value* value = objectForInfoDictionaryKey(key);
    if (const auto* text = value ? std::get_if<std::string>(value) : nullptr) return *text;
    return std::nullopt;
}

void Bundle::setValue(const std::string& key, std::optional<Value> value) {
    if (!value) {
        if (info_) info_->erase(key);
        return;
    }
    if (!info_) info_.emplace();
    info_->insert_or_assign(key, std::move(*value));
}

}  // namespace talvori
