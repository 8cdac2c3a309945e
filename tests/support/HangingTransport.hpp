#pragma once

#include <string>
#include <vector>

#include "updates/HttpTransport.hpp"

namespace talvori::testing {

// A transport whose transfers never finish: an update check started over it stays in progress
// until the test cancels it. Records the addresses asked for.
class HangingTransport final : public updates::HttpTransport {
  public:
    TransferID start(updates::HttpRequest request, Completion) override {
        requests.push_back(std::move(request.url));
        return ++lastTransfer_;
    }
    void cancel(TransferID) override { ++cancellations; }

    std::vector<std::string> requests;
    int cancellations = 0;

  private:
    TransferID lastTransfer_ = 0;
};

}  // namespace talvori::testing
