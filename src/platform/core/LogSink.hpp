#pragma once

#include <string>

namespace talvori {

enum class LogLevel { debug, info, defaultLevel, error, fault };

const char* logLevelName(LogLevel level);

struct LogRecord {
    LogLevel level;
    std::string subsystem;
    std::string category;
    std::string message;
};

class LogSink {
  public:
    virtual ~LogSink() = default;
    virtual void write(const LogRecord& record) = 0;
    // The lowest level this sink keeps: lines below every sink's are never formatted.
    virtual LogLevel minimum() const { return LogLevel::debug; }
};

}  // namespace talvori
