#include "platform/core/LinkTarget.hpp"

#include <filesystem>

namespace talvori {

namespace {

// As many links in a row as the kernel follows.
constexpr int kMaximumLinks = 40;

}  // namespace

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string linkTarget(const std::string& path) {
    std::string current = path;
    for (int link = 0; link < kMaximumLinks; ++link) {
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error) break;
        // Not normalised: ".." after a linked folder is the link target's parent.
        current =
            target.is_absolute() ? target.string() : folderOf(current) + "/" + target.string();
    }
    return current;
}

}  // namespace talvori
