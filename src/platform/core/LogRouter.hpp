#pragma once

#include <memory>
#include <vector>

#include "platform/core/LogSink.hpp"

namespace talvori {

// Where the loggers of one platform write.
class LogRouter {
  public:
    void addSink(std::shared_ptr<LogSink> sink) {
        if (sinks_.empty() || sink->minimum() < lowestKept_) lowestKept_ = sink->minimum();
        sinks_.push_back(std::move(sink));
    }
    // Asked before a line is formatted, so that lines nobody keeps cost a comparison.
    bool keeps(LogLevel level) const { return !sinks_.empty() && level >= lowestKept_; }
    void write(const LogRecord& record) const {
        for (const auto& sink : sinks_) {
            if (record.level >= sink->minimum()) sink->write(record);
        }
    }

  private:
    std::vector<std::shared_ptr<LogSink>> sinks_;
    LogLevel lowestKept_ = LogLevel::debug;
};

}  // namespace talvori
