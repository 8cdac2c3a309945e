#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/LogSink.hpp"

namespace talvori {

// Keeps every record for tests to read.
class CaptureLogSink final : public LogSink {
  public:
    void write(const LogRecord& record) override;
    std::vector<LogRecord> records() const;
    std::vector<std::string> messages() const;
    bool contains(std::string_view message) const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<LogRecord> records_;
};

}  // namespace talvori
