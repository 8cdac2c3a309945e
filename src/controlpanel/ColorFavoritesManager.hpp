#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/core/Observation.hpp"

namespace talvori {

class UserDefaults;

// The user's favourite cover colours, shared by every cover and kept across restarts: six-digit
// codes, oldest first, stored as a JSON array of strings in a data value. Adding stops at five; a
// longer stored list is kept whole (the row shows its first five) so that no code is lost when
// the list is written again. Main thread only.
class ColorFavoritesManager {
  public:
    static constexpr const char* kDefaultsKey = "tarnel.colorFavorites";
    static constexpr std::size_t kMaximumCount = 5;

    // The one instance, owned by the platform, reading and writing the standard store.
    static const std::shared_ptr<ColorFavoritesManager>& shared();
    static std::shared_ptr<ColorFavoritesManager> makeShared();

    explicit ColorFavoritesManager(std::shared_ptr<UserDefaults> defaults);
    ColorFavoritesManager(const ColorFavoritesManager&) = delete;
    ColorFavoritesManager& operator=(const ColorFavoritesManager&) = delete;

    const std::string key = kDefaultsKey;
    // Notifies only when the list really changes, except that every remove() notifies.
    Observable<std::vector<std::string>> favorites;

    // Appends `code` upper-cased when it is six hexadecimal digits, not yet present and the list
    // has room; refuses silently otherwise.
    void add(const std::string& code);
    // Removes every entry equal to `code` upper-cased and rewrites the store, even when nothing
    // matched.
    void remove(const std::string& code);
    void save();
    // The stored list, tidied as it is read: entries upper-cased, anything but six hexadecimal
    // digits and repeats dropped, so that every entry shown can be matched and removed. Missing or
    // undecodable data reads as no favourites.
    std::vector<std::string> load() const;

  private:
    std::shared_ptr<UserDefaults> defaults_;
};

}  // namespace talvori
