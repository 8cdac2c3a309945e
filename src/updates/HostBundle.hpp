#pragma once

#include <string>

namespace talvori::updates {

// What the updater needs to know of the program it updates; the program fills it in from its own
// bundle information.
struct HostBundle {
    // Shown in the update windows ("Talvori 1.3 is available").
    std::string name;
    // The running build, compared with the feed's builds.
    std::string build;
    // The running version as the user knows it.
    std::string shortVersion;
    // An http or https address of the appcast.
    std::string feedURL;
    // Base64 of the Ed25519 key that signs the downloads.
    std::string publicKey;
    // This system's version for the items' minimum system version; empty when it is not known,
    // and then every item counts as runnable.
    std::string systemVersion;
};

}  // namespace talvori::updates
