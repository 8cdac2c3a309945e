#pragma once

#include "platform/core/LogSink.hpp"

namespace talvori {

// The systemd journal, when the program runs under it.
class JournalLogSink final : public LogSink {
  public:
    static bool isAvailable();
    void write(const LogRecord& record) override;
};

}  // namespace talvori
