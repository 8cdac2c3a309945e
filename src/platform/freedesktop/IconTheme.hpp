#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace talvori::freedesktop {

// Finds an icon by name as freedesktop icon themes are laid out: in the
// folders of the theme (then of the themes it inherits, then hicolor) whose size comes nearest
// the asked one, and last among the plain pixmaps. PNG and SVG files only: those are what the
// program can draw.
class IconTheme {
  public:
    // `theme` may be empty: hicolor alone.
    explicit IconTheme(std::string theme) : theme_(std::move(theme)) {}

    std::optional<std::filesystem::path> find(const std::string& iconName, int pixelSize) const;

    // Where themes live, most important first: $XDG_DATA_HOME/icons, ~/.icons, the icons of
    // $XDG_DATA_DIRS.
    static std::vector<std::filesystem::path> themeRoots();

  private:
    struct Folder {
        std::string path;
        int size = 0;
        int minSize = 0;
        int maxSize = 0;
        int threshold = 2;
        enum class Type { fixed, scalable, threshold } type = Type::threshold;

        int distance(int pixelSize) const;
    };
    struct Theme {
        std::vector<Folder> folders;
        std::vector<std::string> inherits;
    };

    static std::optional<Theme> readTheme(const std::string& name,
                                          const std::vector<std::filesystem::path>& roots);
    static std::optional<std::filesystem::path> findIn(
        const Theme& theme, const std::string& themeName, const std::string& icon, int pixelSize,
        const std::vector<std::filesystem::path>& roots);

    std::string theme_;
};

}  // namespace talvori::freedesktop
