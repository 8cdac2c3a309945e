#pragma once

#include <string>

namespace talvori::updates {

// What went wrong in an update session, in the domain and codes the application relies on.
struct UpdateError {
    static constexpr const char* kDomain = "SUSparkleErrorDomain";

    // The updater was set up with a feed address or public key it cannot use.
    static constexpr int kInvalidConfiguration = 4;
    // The feed was fetched but is no appcast.
    static constexpr int kAppcastParse = 1000;
    // The network failed while checking or downloading.
    static constexpr int kNetwork = 2001;
    // The downloaded file could not be kept in the download folder.
    static constexpr int kFile = 3000;
    // The download does not have the announced length or its signature does not verify.
    static constexpr int kSignature = 3001;

    std::string domain = kDomain;
    int code = 0;
    std::string localizedDescription;

    static UpdateError make(int code, std::string description) {
        return UpdateError{kDomain, code, std::move(description)};
    }
    bool operator==(const UpdateError&) const = default;
};

}  // namespace talvori::updates
