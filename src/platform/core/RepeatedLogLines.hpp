#pragma once

#include <cstdint>
#include <string>

#include "platform/core/Logger.hpp"
#include "platform/core/TimerSlot.hpp"

namespace talvori {

class RunLoop;

// Lines that can come in floods (the same X error for every request about a window that went
// away, a compositor that comes and goes hundreds of times a second) are logged a few times: the
// lines of the same kind that follow within a period are only counted, and the count is told when
// a line of another kind comes, or once the period has passed.
class RepeatedLogLines {
  public:
    static constexpr double kPeriod = 10;

    explicit RepeatedLogLines(Logger log) : log_(std::move(log)) {}
    // Without a loop (before one runs) every line is logged.
    void attach(RunLoop* loop) { loop_ = loop; }
    // Logs `line`, or counts it when `shown` lines of `kind` were logged last, the first less than
    // a period ago.
    void log(LogLevel level, const std::string& kind, const std::string& line, int shown = 1);
    // Tells the lines counted since the last one logged, if any.
    void flush();
    std::uint64_t counted() const { return counted_; }

  private:
    Logger log_;
    RunLoop* loop_ = nullptr;
    std::string kind_;
    std::string last_;
    LogLevel level_ = LogLevel::defaultLevel;
    std::uint64_t counted_ = 0;
    int shown_ = 0;
    TimerSlot periodEnd_;
};

}  // namespace talvori
