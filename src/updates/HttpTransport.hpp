#pragma once

#include <cstdint>
#include <functional>

#include "updates/HttpRequest.hpp"

namespace talvori::updates {

// Fetches addresses without ever blocking the run loop. The completion runs once, on a later turn
// of the run loop, unless the transfer is cancelled first.
class HttpTransport {
  public:
    using TransferID = std::uint64_t;
    using Completion = std::function<void(HttpResult)>;

    virtual ~HttpTransport() = default;
    virtual TransferID start(HttpRequest request, Completion completion) = 0;
    // Ends the transfer without calling its completion; an unknown or finished one is ignored.
    virtual void cancel(TransferID transfer) = 0;

    // Whether `url` is an http or https address, the only kinds the updates ever fetch.
    static bool isWebAddress(std::string_view url);
};

}  // namespace talvori::updates
