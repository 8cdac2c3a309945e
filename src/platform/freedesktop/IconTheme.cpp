#include "platform/freedesktop/IconTheme.hpp"

#include <glib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <system_error>

#include "platform/freedesktop/DesktopEntries.hpp"

namespace talvori::freedesktop {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFallbackTheme = "hicolor";
constexpr const char* kExtensions[] = {".png", ".svg"};
// Themes inheriting in a circle, or very deep, are read no further.
constexpr std::size_t kMaximumThemes = 16;
constexpr std::uintmax_t kLargestIndex = 1U << 20;
// Sizes beyond this are a broken index, not a folder of icons.
constexpr int kLargestSize = 4096;

struct KeyFileFree {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

int integer(GKeyFile* file, const char* group, const char* key, int fallback) {
    GError* error = nullptr;
    const int value = g_key_file_get_integer(file, group, key, &error);
    if (error) {
        g_error_free(error);
        return fallback;
    }
    return std::clamp(value, 0, kLargestSize);
}

// A theme or an icon is a file name in a folder, never a path that leaves it.
bool isPlainName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

// Entries often name their icon with its file's extension; themes hold it by its stem.
std::string withoutExtension(const std::string& name) {
    for (const char* extension : {".png", ".svg", ".xpm"}) {
        if (name.size() > std::strlen(extension) && name.ends_with(extension)) {
            return name.substr(0, name.size() - std::strlen(extension));
        }
    }
    return name;
}

std::vector<std::string> list(GKeyFile* file, const char* group, const char* key) {
    std::vector<std::string> values;
    gsize count = 0;
    gchar** items = g_key_file_get_string_list(file, group, key, &count, nullptr);
    for (gsize index = 0; index < count; ++index) values.emplace_back(items[index]);
    g_strfreev(items);
    return values;
}

std::optional<fs::path> existingIcon(const fs::path& folder, const std::string& name) {
    for (const char* extension : kExtensions) {
        fs::path candidate = folder / (name + extension);
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return candidate;
    }
    return std::nullopt;
}

}  // namespace

int IconTheme::Folder::distance(int pixelSize) const {
    switch (type) {
        case Type::fixed:
            return std::abs(size - pixelSize);
        case Type::scalable:
            if (pixelSize < minSize) return minSize - pixelSize;
            if (pixelSize > maxSize) return pixelSize - maxSize;
            return 0;
        case Type::threshold:
            if (pixelSize < size - threshold) return size - threshold - pixelSize;
            if (pixelSize > size + threshold) return pixelSize - size - threshold;
            return 0;
    }
    return INT_MAX;
}

std::vector<fs::path> IconTheme::themeRoots() {
    std::vector<fs::path> roots;
    const auto data = DesktopEntries::dataDirectories();
    if (!data.empty()) roots.push_back(data.front() / "icons");
    if (const char* home = std::getenv("HOME"); home && *home == '/') {
        roots.push_back(fs::path(home) / ".icons");
    }
    for (std::size_t index = 1; index < data.size(); ++index)
        roots.push_back(data[index] / "icons");
    return roots;
}

std::optional<IconTheme::Theme> IconTheme::readTheme(const std::string& name,
                                                     const std::vector<fs::path>& roots) {
    if (!isPlainName(name)) return std::nullopt;
    for (const auto& root : roots) {
        std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
        // Theme files part their lists with commas.
        g_key_file_set_list_separator(file.get(), ',');
        const auto text = DesktopEntries::readSmallFile(root / name / "index.theme", kLargestIndex);
        if (!text || !g_key_file_load_from_data(file.get(), text->data(), text->size(),
                                                G_KEY_FILE_NONE, nullptr)) {
            continue;
        }
        Theme theme;
        theme.inherits = list(file.get(), "Icon Theme", "Inherits");
        for (auto& path : list(file.get(), "Icon Theme", "Directories")) {
            const char* group = path.c_str();
            Folder folder;
            folder.size = integer(file.get(), group, "Size", 0);
            if (folder.size <= 0) continue;
            folder.minSize = integer(file.get(), group, "MinSize", folder.size);
            folder.maxSize = integer(file.get(), group, "MaxSize", folder.size);
            folder.threshold = integer(file.get(), group, "Threshold", 2);
            // Icons drawn for a larger scale stand in only where nothing else is found.
            const int scale = integer(file.get(), group, "Scale", 1);
            if (scale > 1) continue;
            const std::string type = [&] {
                gchar* text = g_key_file_get_string(file.get(), group, "Type", nullptr);
                std::string value = text ? text : "Threshold";
                g_free(text);
                return value;
            }();
            folder.type = type == "Fixed"      ? Folder::Type::fixed
                          : type == "Scalable" ? Folder::Type::scalable
                                               : Folder::Type::threshold;
            folder.path = std::move(path);
            theme.folders.push_back(std::move(folder));
        }
        return theme;
    }
    return std::nullopt;
}

std::optional<fs::path> IconTheme::findIn(const Theme& theme, const std::string& themeName,
                                          const std::string& icon, int pixelSize,
                                          const std::vector<fs::path>& roots) {
    std::optional<fs::path> nearest;
    int nearestDistance = INT_MAX;
    for (const auto& folder : theme.folders) {
        const int distance = folder.distance(pixelSize);
        if (distance >= nearestDistance) continue;
        for (const auto& root : roots) {
            if (auto found = existingIcon(root / themeName / folder.path, icon)) {
                nearest = std::move(found);
                nearestDistance = distance;
                break;
            }
        }
        if (nearestDistance == 0) break;
    }
    return nearest;
}

std::optional<fs::path> IconTheme::find(const std::string& iconName, int pixelSize) const {
    if (!isPlainName(iconName)) return std::nullopt;
    const std::string name = withoutExtension(iconName);
    const auto roots = themeRoots();
    std::vector<std::string> queue;
    if (!theme_.empty()) queue.push_back(theme_);
    std::set<std::string> visited;
    for (std::size_t index = 0; index < queue.size() && visited.size() < kMaximumThemes; ++index) {
        if (!visited.insert(queue[index]).second) continue;
        const auto theme = readTheme(queue[index], roots);
        if (!theme) continue;
        if (auto found = findIn(*theme, queue[index], name, pixelSize, roots)) return found;
        queue.insert(queue.end(), theme->inherits.begin(), theme->inherits.end());
    }
    if (!visited.contains(kFallbackTheme)) {
        if (const auto theme = readTheme(kFallbackTheme, roots)) {
            if (auto found = findIn(*theme, kFallbackTheme, name, pixelSize, roots)) return found;
        }
    }
    for (const auto& data : DesktopEntries::dataDirectories()) {
        if (auto found = existingIcon(data / "pixmaps", name)) return found;
    }
    return std::nullopt;
}

}  // namespace talvori::freedesktop
