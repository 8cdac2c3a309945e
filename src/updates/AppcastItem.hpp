#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/DefaultsValue.hpp"

namespace talvori::updates {

// One release offered by the feed.
class AppcastItem {
  public:
    struct Enclosure {
        std::string url;
        // Absent when the feed gives none or no whole number.
        std::optional<std::uint64_t> length;
        // Base64 of the Ed25519 signature of the file.
        std::string edSignature;
    };

    std::string title;
    // The build, compared with the running build.
    std::string version;
    std::string shortVersion;
    std::optional<std::string> releaseNotesLink;
    std::optional<std::string> minimumSystemVersion;
    std::optional<Enclosure> enclosure;
    // Elements of other namespaces, under their qualified names ("talvori:summary"): text as a
    // string, an element with child elements as a dictionary of them.
    DefaultsValue::Dictionary properties;

    const std::string& versionString() const { return version; }
    // The version shown to the user; the build when the feed names no other.
    const std::string& displayVersionString() const {
        return shortVersion.empty() ? version : shortVersion;
    }
    const DefaultsValue::Dictionary& propertiesDictionary() const { return properties; }
    const std::optional<std::string>& releaseNotesURL() const { return releaseNotesLink; }
};

}  // namespace talvori::updates
