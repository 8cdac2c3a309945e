#include "platform/core/LogSink.hpp"

namespace talvori {

const char* logLevelName(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return "debug";
        case LogLevel::info:
            return "info";
        case LogLevel::defaultLevel:
            return "default";
        case LogLevel::error:
            return "error";
        case LogLevel::fault:
            return "fault";
    }
    return "default";
}

}  // namespace talvori
