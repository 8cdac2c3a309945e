#include "platform/freedesktop/DesktopEntries.hpp"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <system_error>

namespace talvori::freedesktop {

namespace fs = std::filesystem;

namespace {

constexpr const char* kGroup = "Desktop Entry";
// Far above any real entry; a larger file is no entry to read whole.
constexpr std::uintmax_t kLargestEntry = 1U << 20;

struct KeyFileFree {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

std::string takeString(gchar* text) {
    if (!text) return {};
    std::string result(text);
    g_free(text);
    return result;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A name is shown on one line of a list: escaped line breaks and tabs become spaces.
std::string singleLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }, ' ');
    return text;
}

// An entry that exists only to hide another, or that starts no application, is no entry: it still
// takes its id from the folders after it.
std::optional<DesktopEntries::Entry> readEntry(const fs::path& path, std::string id) {
    const auto text = DesktopEntries::readSmallFile(path, kLargestEntry);
    std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
    if (!text || !g_key_file_load_from_data(file.get(), text->data(), text->size(), G_KEY_FILE_NONE,
                                            nullptr)) {
        return std::nullopt;
    }
    if (takeString(g_key_file_get_string(file.get(), kGroup, "Type", nullptr)) != "Application" ||
        g_key_file_get_boolean(file.get(), kGroup, "Hidden", nullptr)) {
        return std::nullopt;
    }
    DesktopEntries::Entry entry;
    entry.id = std::move(id);
    entry.name = singleLine(
        takeString(g_key_file_get_locale_string(file.get(), kGroup, "Name", nullptr, nullptr)));
    if (entry.name.empty()) return std::nullopt;
    entry.icon = takeString(g_key_file_get_string(file.get(), kGroup, "Icon", nullptr));
    entry.startupWMClass =
        takeString(g_key_file_get_string(file.get(), kGroup, "StartupWMClass", nullptr));
    entry.program = DesktopEntries::programOf(
        takeString(g_key_file_get_string(file.get(), kGroup, "Exec", nullptr)));
    return entry;
}

std::vector<fs::path> desktopFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator
             it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
        std::error_code fileError;
        if (it->path().extension() == ".desktop" && it->is_regular_file(fileError)) {
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string desktopId(const fs::path& file, const fs::path& folder) {
    std::string id = file.lexically_relative(folder).string();
    std::replace(id.begin(), id.end(), '/', '-');
    return id;
}

}  // namespace

std::vector<fs::path> DesktopEntries::dataDirectories() {
    std::vector<fs::path> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome == '/') {
        folders.emplace_back(dataHome);
    } else if (home && *home == '/') {
        folders.push_back(fs::path(home) / ".local" / "share");
    }
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    const std::string list = dataDirs && *dataDirs ? dataDirs : "/usr/local/share/:/usr/share/";
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::string folder = list.substr(start, end - start);
        // A relative entry would depend on where the program was started.
        if (!folder.empty() && folder.front() == '/') folders.emplace_back(folder);
        start = end + 1;
    }
    return folders;
}

std::string DesktopEntries::programOf(const std::string& exec) {
    gint count = 0;
    gchar** arguments = nullptr;
    if (exec.empty() || !g_shell_parse_argv(exec.c_str(), &count, &arguments, nullptr)) return {};
    std::string program;
    bool afterEnv = false;
    for (gint index = 0; index < count && program.empty(); ++index) {
        const std::string argument = arguments[index];
        const std::string name = fs::path(argument).filename().string();
        if (!afterEnv && name == "env") {
            afterEnv = true;
        } else if (!afterEnv || (argument.find('=') == std::string::npos && argument[0] != '-')) {
            program = name;
        }
    }
    g_strfreev(arguments);
    return program;
}

std::optional<std::string> DesktopEntries::readSmallFile(const fs::path& path,
                                                         std::uintmax_t limit) {
    std::error_code error;
    // A pipe or a device could block the program or never end.
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > limit) return std::nullopt;
    std::ifstream stream(path, std::ios::binary);
    std::string contents(size, '\0');
    if (!stream.read(contents.data(), static_cast<std::streamsize>(size))) return std::nullopt;
    return contents;
}

std::vector<DesktopEntries::Stamp> DesktopEntries::stamps() {
    std::vector<Stamp> result;
    for (const auto& data : dataDirectories()) {
        const fs::path folder = data / "applications";
        std::error_code error;
        const auto time = fs::last_write_time(folder, error);
        if (error) continue;
        result.emplace_back(folder, time);
        for (fs::recursive_directory_iterator
                 it(folder, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error)) {
            std::error_code innerError;
            if (!it->is_directory(innerError)) continue;
            const auto inner = fs::last_write_time(it->path(), innerError);
            if (!innerError) result.emplace_back(it->path(), inner);
        }
    }
    return result;
}

void DesktopEntries::refreshIfChanged() const {
    auto now = stamps();
    if (read_ && *read_ == now) return;
    read_ = std::move(now);
    entries_.clear();
    std::set<std::string> seen;
    for (const auto& data : dataDirectories()) {
        const fs::path folder = data / "applications";
        for (const auto& file : desktopFiles(folder)) {
            std::string id = desktopId(file, folder);
            // The first folder that has an id decides it, also when it hides the entry.
            if (!seen.insert(id).second) continue;
            if (auto entry = readEntry(file, std::move(id))) entries_.push_back(std::move(*entry));
        }
    }
}

std::optional<DesktopEntries::Entry> DesktopEntries::find(const std::string& instance,
                                                          const std::string& className,
                                                          const std::string& program) const {
    refreshIfChanged();
    for (const std::string& key : {className, instance}) {
        if (key.empty()) continue;
        for (const auto& entry : entries_) {
            if (entry.startupWMClass == key) return entry;
        }
    }
    for (const std::string& key : {className, instance}) {
        if (key.empty()) continue;
        const std::string wanted = lowered(key);
        for (const auto& entry : entries_) {
            const std::string stem = lowered(fs::path(entry.id).stem().string());
            const std::string last =
                stem.substr(stem.rfind('.') == std::string::npos ? 0 : stem.rfind('.') + 1);
            if (stem == wanted || last == wanted) return entry;
        }
    }
    if (program.empty()) return std::nullopt;
    // An entry that names its windows' class speaks only for that class: a program started with
    // another class (xterm -class …) is another application to the user.
    for (const auto& entry : entries_) {
        if (entry.program == program && entry.startupWMClass.empty()) return entry;
    }
    return std::nullopt;
}

}  // namespace talvori::freedesktop
