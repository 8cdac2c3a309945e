#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace GlobalShortcuts {

// The library's own texts, kept apart from the application's: a folder
// "GlobalShortcuts_GlobalShortcuts.bundle" holding one table per language ("en.json", "de.json":
// a JSON object from text key to text).
class ResourceBundle {
  public:
    static constexpr const char* kBundleName = "GlobalShortcuts_GlobalShortcuts.bundle";
    static constexpr const char* kDevelopmentLanguage = "en";

    // Where the bundle may be, in order: the application's resource folder, the resource folder
    // of the module holding this library's code, and the folder of the program itself.
    static std::vector<std::filesystem::path> candidateDirectories();
    // The user's preferred languages, most preferred first, from LANGUAGE, LC_ALL, LC_MESSAGES
    // and LANG; each "de_DE.UTF-8" gives "de_DE" and then "de".
    static std::vector<std::string> preferredLanguages();

    // The bundle in the first candidate directory that holds one, with the table of the first
    // preferred language it provides (else its development language's).
    static std::optional<ResourceBundle> find(const std::vector<std::filesystem::path>& candidates,
                                              const std::vector<std::string>& languages);
    // Texts compiled into the program, for an installation that lost its bundle.
    static ResourceBundle builtIn();

    // The bundle the program's windows show: in the program's own language, whatever the locale
    // prefers, since the program's texts are in English only and a window speaks one language.
    static std::optional<ResourceBundle> findForProgram();
    // findForProgram(), found once, on first use, and kept for the life of the process.
    static const ResourceBundle& shared();

    // The text of `key`; the key itself when the table lacks it.
    std::string localizedString(const std::string& key) const;

    const std::filesystem::path& path() const { return path_; }
    const std::string& language() const { return language_; }

  private:
    ResourceBundle(std::filesystem::path path, std::string language,
                   std::map<std::string, std::string> table)
        : path_(std::move(path)), language_(std::move(language)), table_(std::move(table)) {}

    std::filesystem::path path_;
    std::string language_;
    std::map<std::string, std::string> table_;
};

// The library's text of `key` from the shared bundle.
std::string localized(const std::string& key);

}  // namespace GlobalShortcuts
