#pragma once

#include <memory>
#include <string>
#include <vector>

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
};

// Where the loggers of one platform write.
class LogRouter {
  public:
    void addSink(std::shared_ptr<LogSink> sink) { sinks_.push_back(std::move(sink)); }
    void write(const LogRecord& record) const {
        for (const auto& sink : sinks_) sink->write(record);
    }

  private:
    std::vector<std::shared_ptr<LogSink>> sinks_;
};

}  // namespace talvori
