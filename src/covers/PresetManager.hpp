#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "covers/PresetModel.hpp"
#include "platform/core/DefaultsValue.hpp"
#include "platform/core/Logger.hpp"
#include "platform/core/UserDefaults.hpp"

namespace talvori {

// Reads and writes the whole list of layouts as one JSON document under one user-defaults key.
// Loading is all or nothing; a stored document that does not load is never silently destroyed:
// the first save copies it aside to a backup key first.
class PresetManager {
  public:
    static constexpr const char* standardKey = "tarnel.presets";

    PresetManager(std::string key, std::shared_ptr<UserDefaults> defaults);

    // Stores the list as compact JSON. A list that cannot be encoded (a number that is not
    // finite) stores nothing and logs an error; the previous stored value stays.
    void save(const std::vector<PresetModel>& presets);
    // The stored list; empty when nothing is stored or the stored value does not decode.
    std::vector<PresetModel> load() const;

    // Where an unreadable stored value is copied before the first save overwrites it, made
    // unique with a time stamp: "<key>.unreadable.20270101T000000Z".
    std::string backupKey() const;

    const std::string key;
    const std::shared_ptr<UserDefaults> defaults;

  private:
    static std::optional<std::vector<PresetModel>> decode(const Data& data);
    bool isReadable(const DefaultsValue& stored) const;
    void preserveUnreadableValue();

    Logger log_;
    // The document last written or read successfully, so that a save need not decode the stored
    // value again to know it is safe to replace.
    mutable std::optional<Data> knownReadable_;
};

}  // namespace talvori
