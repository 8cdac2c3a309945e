#include "GlobalShortcuts/ResourceBundle.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/Platform.hpp"
#include "platform/core/Json.hpp"

namespace GlobalShortcuts {

namespace fs = std::filesystem;

namespace {

fs::path programDirectory() {
    std::error_code error;
    const auto program = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : program.parent_path();
}

fs::path codeModuleDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&programDirectory), &info) == 0 || !info.dli_fname) {
        return {};
    }
    std::error_code error;
    const auto module = fs::canonical(info.dli_fname, error);
    return error ? fs::path() : module.parent_path();
}

// An installed program finds its resources in ../share/talvori beside its bin folder.
fs::path resourceDirectoryOf(const fs::path& moduleDirectory) {
    if (moduleDirectory.empty()) return {};
    return moduleDirectory.parent_path() / "share" / "talvori";
}

std::optional<std::map<std::string, std::string>> readTable(const fs::path& file) {
    std::ifstream stream(file);
    if (!stream) return std::nullopt;
    const std::string text{std::istreambuf_iterator<char>(stream), {}};
    const auto json = talvori::Json::parse(text);
    if (!json || !json->is_object()) return std::nullopt;
    std::map<std::string, std::string> table;
    for (const auto& [key, value] : json->items()) {
        if (value.is_string()) table.emplace(key, value.get<std::string>());
    }
    return table;
}

void appendLanguage(std::vector<std::string>& languages, const std::string& locale) {
    // "de_DE.UTF-8@euro" -> "de_DE", "de"; "C" and "POSIX" name no language.
    const auto name = locale.substr(0, locale.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX") return;
    for (const auto& candidate : {name, name.substr(0, name.find('_'))}) {
        if (std::find(languages.begin(), languages.end(), candidate) == languages.end()) {
            languages.push_back(candidate);
        }
    }
}

}  // namespace

std::vector<fs::path> ResourceBundle::candidateDirectories() {
    const auto program = programDirectory();
    return {resourceDirectoryOf(program), resourceDirectoryOf(codeModuleDirectory()), program};
}

std::vector<std::string> ResourceBundle::preferredLanguages() {
    std::vector<std::string> languages;
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string remaining = list;
        while (!remaining.empty()) {
            const auto colon = remaining.find(':');
            appendLanguage(languages, remaining.substr(0, colon));
            remaining = colon == std::string::npos ? "" : remaining.substr(colon + 1);
        }
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* locale = std::getenv(variable); locale && *locale) {
            appendLanguage(languages, locale);
            break;
        }
    }
    return languages;
}

std::optional<ResourceBundle> ResourceBundle::find(const std::vector<fs::path>& candidates,
                                                   const std::vector<std::string>& languages) {
    for (const auto& directory : candidates) {
        if (directory.empty()) continue;
        const auto bundle = directory / kBundleName;
        std::error_code error;
        if (!fs::is_directory(bundle, error)) continue;
        for (const auto& language : languages) {
            if (auto table = readTable(bundle / (language + ".json"))) {
                return ResourceBundle(bundle, language, std::move(*table));
            }
        }
        auto table = readTable(bundle / (std::string(kDevelopmentLanguage) + ".json"));
        return ResourceBundle(bundle, kDevelopmentLanguage,
                              table.value_or(std::map<std::string, std::string>{}));
    }
    return std::nullopt;
}

ResourceBundle ResourceBundle::builtIn() {
    return ResourceBundle({}, kDevelopmentLanguage,
                          {
                              {"space_key", "space"},
                              {"record_shortcut", "Record Shortcut"},
                              {"press_shortcut", "Press Shortcut"},
                              {"keyboard_shortcut_used_by_menu_item",
                               "This keyboard shortcut is already used by the menu item “%s”."},
                              {"keyboard_shortcut_used_by_system",
                               "This keyboard shortcut is already used by your desktop."},
                              {"keyboard_shortcuts_can_be_changed",
                               "Most of your desktop’s shortcuts can be changed in its keyboard "
                               "settings."},
                              {"keyboard_shortcut_disallowed",
                               "Shortcuts with only Alt, or Alt and Shift, cannot be used."},
                              {"ok", "OK"},
                              {"force_use_shortcut", "Use Anyway"},
                          });
}

std::optional<ResourceBundle> ResourceBundle::findForProgram() {
    return find(candidateDirectories(), {kDevelopmentLanguage});
}

const ResourceBundle& ResourceBundle::shared() {
    static const ResourceBundle* const bundle = [] {
        if (auto found = findForProgram()) {
            return new ResourceBundle(std::move(*found));
        }
        // A moved or damaged installation still shows words rather than stopping.
        if (talvori::Platform::isInstalled()) {
            talvori::platform()
                .logger("GlobalShortcuts")
                .fault(
                    "unable to find bundle named GlobalShortcuts_GlobalShortcuts; using built-in "
                    "texts");
        }
        return new ResourceBundle(builtIn());
    }();
    return *bundle;
}

std::string ResourceBundle::localizedString(const std::string& key) const {
    const auto found = table_.find(key);
    return found == table_.end() ? key : found->second;
}

std::string localized(const std::string& key) {
    return ResourceBundle::shared().localizedString(key);
}

}  // namespace GlobalShortcuts
