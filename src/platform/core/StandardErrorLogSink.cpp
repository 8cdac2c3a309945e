#include "platform/core/StandardErrorLogSink.hpp"

#include <cstdio>

namespace talvori {

void StandardErrorLogSink::write(const LogRecord& record) {
    std::fprintf(stderr, "[%s] %s:%s %s\n", logLevelName(record.level), record.subsystem.c_str(),
                 record.category.c_str(), record.message.c_str());
}

}  // namespace talvori
