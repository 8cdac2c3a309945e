#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updates/AppcastItem.hpp"

namespace talvori::updates {

// The feed of releases: an RSS 2.0 document whose items carry the update elements in kNamespace.
class Appcast {
  public:
    static constexpr const char* kNamespace = "urn:talvori:updates:appcast";
    // Larger feeds are refused before they are read.
    static constexpr std::size_t kMaximumBytes = 1024 * 1024;

    std::vector<AppcastItem> items;

    // Absent when the text is no well-formed RSS document or is too large. Items without a build
    // or without a downloadable file are left out.
    static std::optional<Appcast> parse(std::string_view text);

    // The newest item that this system can run, that is newer than `currentBuild` and that is not
    // `skippedBuild` (an empty string skips nothing).
    std::optional<AppcastItem> bestItem(std::string_view currentBuild,
                                        std::string_view systemVersion,
                                        std::string_view skippedBuild) const;
};

}  // namespace talvori::updates
