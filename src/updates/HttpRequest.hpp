#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace talvori::updates {

// A GET of an http or https address.
struct HttpRequest {
    std::string url;
    // Measured on the run loop's clock; the transfer fails when it has not finished by then.
    double timeoutSeconds = 60.0;
    // A body that grows past this fails the transfer.
    std::uint64_t maximumBytes = 1024 * 1024;
    // When set, the body goes into this file (created or truncated) instead of memory.
    std::optional<std::string> destinationPath;
    // Called on the run loop as data arrives: bytes so far, and the announced length or 0.
    std::function<void(std::uint64_t received, std::uint64_t expected)> onProgress;
};

struct HttpResult {
    enum class Outcome {
        // A response arrived; look at `status`.
        completed,
        // No response: refused, unreachable, reset, bad certificate, ...
        transportFailure,
        timedOut,
        tooLarge,
        // Not an http or https address.
        unsupportedAddress,
        // The destination file could not be written.
        fileFailure,
        cancelled,
    };

    Outcome outcome = Outcome::transportFailure;
    long status = 0;
    std::string body;
    std::string errorDescription;

    bool isSuccess() const {
        return outcome == Outcome::completed && status >= 200 && status < 300;
    }
};

}  // namespace talvori::updates
