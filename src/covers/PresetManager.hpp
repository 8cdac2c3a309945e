#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "covers/PresetModel.hpp"
#include "platform/core/DefaultsValue.hpp"
#include "platform/core/Logger.hpp"
#include "platform/core/UserDefaults.hpp"

namespace talvori {

// Reads and writes the whole list of layouts as one JSON document under one user-defaults key.
// Loading is all or nothing; a stored document that does not load is never silently destroyed:
// the first save copies it aside to a backup key first. The settings file has other writers (a
// hand edit, a second instance): a save keeps the stored layouts this manager has never seen, so
// that a list read before another writer added one does not drop it.
class PresetManager {
  public:
    static constexpr const char* standardKey = "tarnel.presets";

    PresetManager(std::string key, std::shared_ptr<UserDefaults> defaults);

    // Stores the list as compact JSON, followed by the stored layouts never loaded or saved here.
    // A list that cannot be encoded (a number that is not finite) stores nothing and logs an
    // error; the previous stored value stays.
    void save(const std::vector<PresetModel>& presets);
    // The stored list; empty when nothing is stored or the stored value does not decode.
    std::vector<PresetModel> load() const;
    // Calls `onChange` after each change of the stored list, this manager's saves included.
    Registration observe(std::function<void()> onChange) const;

    // Where an unreadable stored value is copied before the first save overwrites it, made
    // unique with a time stamp: "<key>.unreadable.20270101T000000Z".
    std::string backupKey() const;

    const std::string key;
    const std::shared_ptr<UserDefaults> defaults;

  private:
    static std::optional<std::vector<PresetModel>> decode(const Data& data);
    bool isReadable(const DefaultsValue& stored) const;
    void preserveUnreadableValue();
    // `presets`, then the stored layouts whose ids this manager has not seen.
    std::vector<PresetModel> withUnseenStored(const std::vector<PresetModel>& presets) const;
    void see(const std::vector<PresetModel>& presets) const;

    Logger log_;
    // The document last written or read successfully, so that a save need not decode the stored
    // value again to know it is safe to replace.
    mutable std::optional<Data> knownReadable_;
    // The ids of every layout loaded or saved here: a stored layout outside them is another
    // writer's.
    mutable std::unordered_set<UUID> seen_;
};

}  // namespace talvori
