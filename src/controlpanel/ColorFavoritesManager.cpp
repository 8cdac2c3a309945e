#include "controlpanel/ColorFavoritesManager.hpp"

#include <algorithm>

#include "controlpanel/ColorCode.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Json.hpp"

namespace talvori {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& entry) {
    return std::find(list.begin(), list.end(), entry) != list.end();
}

}  // namespace

const std::shared_ptr<ColorFavoritesManager>& ColorFavoritesManager::shared() {
    return platform().service<ColorFavoritesManager>();
}

std::shared_ptr<ColorFavoritesManager> ColorFavoritesManager::makeShared() {
    return std::make_shared<ColorFavoritesManager>(platform().userDefaults().shared_from_this());
}

ColorFavoritesManager::ColorFavoritesManager(std::shared_ptr<UserDefaults> defaults)
    : defaults_(std::move(defaults)) {
    favorites.set(load());
}

void ColorFavoritesManager::add(const std::string& code) {
    const std::string entry = ColorCode::uppercased(code);
    const auto& list = favorites.peek();
    if (!ColorCode::isValid(entry) || contains(list, entry) || list.size() >= kMaximumCount) return;
    favorites.modify([&](std::vector<std::string>& entries) { entries.push_back(entry); });
    save();
}

void ColorFavoritesManager::remove(const std::string& code) {
    const std::string entry = ColorCode::uppercased(code);
    auto list = favorites.peek();
    std::erase(list, entry);
    favorites.setAndNotify(std::move(list));
    save();
}

void ColorFavoritesManager::save() {
    const auto text = Json::dump(JsonValue(favorites.peek()));
    if (!text) return;
    defaults_->set(key, Data(text->begin(), text->end()));
}

std::vector<std::string> ColorFavoritesManager::load() const {
    const auto data = defaults_->data(key);
    if (!data) return {};
    const auto document =
        Json::parse(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
    if (!document || !document->is_array()) return {};
    std::vector<std::string> entries;
    for (const auto& item : *document) {
        if (!item.is_string()) return {};
        const std::string entry = ColorCode::uppercased(item.get<std::string>());
        if (ColorCode::isValid(entry) && !contains(entries, entry)) entries.push_back(entry);
    }
    return entries;
}

}  // namespace talvori
