#pragma once

#include "platform/core/LogSink.hpp"

namespace talvori {

// The systemd journal, when the program runs under it. Debug lines go there only when asked for
// as GLib programs are asked: G_MESSAGES_DEBUG set to "all" or naming "talvori".
class JournalLogSink final : public LogSink {
  public:
    static bool isAvailable();
    static LogLevel minimumFromEnvironment(const char* messagesDebug);
    explicit JournalLogSink(LogLevel minimum) : minimum_(minimum) {}
    void write(const LogRecord& record) override;
    LogLevel minimum() const override { return minimum_; }

  private:
    LogLevel minimum_;
};

}  // namespace talvori
