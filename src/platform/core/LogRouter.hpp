#pragma once

#include <memory>
#include <vector>

#include "platform/core/LogSink.hpp"

namespace talvori {

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
