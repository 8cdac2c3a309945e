#pragma once

#include "platform/core/LogSink.hpp"

namespace talvori {

// Lines at or above a level on standard error.
class StandardErrorLogSink final : public LogSink {
  public:
    explicit StandardErrorLogSink(LogLevel minimum) : minimum_(minimum) {}
    void write(const LogRecord& record) override;
    LogLevel minimum() const override { return minimum_; }

  private:
    LogLevel minimum_;
};

}  // namespace talvori
