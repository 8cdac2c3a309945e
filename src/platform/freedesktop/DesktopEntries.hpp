#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace talvori::freedesktop {

// The programs' desktop entries in the XDG data folders ($XDG_DATA_HOME, then $XDG_DATA_DIRS, as
// the environment says at each question): the name a program goes by in the desktop's menus and
// the icon it shows there. They are read when first asked for and again only once a folder of
// them changed.
class DesktopEntries {
  public:
    struct Entry {
        // "org.example.Editor.desktop"; a folder below applications/ joins it with '-'.
        std::string id;
        // In the user's language where the entry has it.
        std::string name;
        // A name in the icon theme or an absolute path; empty when the entry gives none.
        std::string icon;
        std::string startupWMClass;
        // The file name of the program its Exec line runs.
        std::string program;
    };

    // The entry of a window: the one that names its WM_CLASS class or instance as
    // StartupWMClass, else one whose id is that class or instance in any case (also as the last
    // part of a reverse-DNS id), else one that runs the window's program and names no class.
    std::optional<Entry> find(const std::string& instance, const std::string& className,
                              const std::string& program) const;

    // Where desktop files and icons live, most important first.
    static std::vector<std::filesystem::path> dataDirectories();
    // The program an Exec line runs, past an `env` and its settings; empty when none.
    static std::string programOf(const std::string& exec);
    // The contents of a plain file of at most `limit` bytes; none for anything else.
    static std::optional<std::string> readSmallFile(const std::filesystem::path& path,
                                                    std::uintmax_t limit);

  private:
    using Stamp = std::pair<std::filesystem::path, std::filesystem::file_time_type>;

    void refreshIfChanged() const;
    static std::vector<Stamp> stamps();

    mutable std::vector<Entry> entries_;
    mutable std::optional<std::vector<Stamp>> read_;
};

}  // namespace talvori::freedesktop
