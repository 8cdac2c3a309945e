#include "platform/core/JournalLogSink.hpp"

#include <sys/stat.h>

#include <sstream>
#include <string>

#ifdef TALVORI_HAVE_JOURNAL
#include <systemd/sd-journal.h>
#endif

namespace talvori {

bool JournalLogSink::isAvailable() {
#ifdef TALVORI_HAVE_JOURNAL
    struct stat info {};
    return ::stat("/run/systemd/journal/socket", &info) == 0;
#else
    return false;
#endif
}

LogLevel JournalLogSink::minimumFromEnvironment(const char* messagesDebug) {
    if (!messagesDebug) return LogLevel::info;
    std::istringstream domains(messagesDebug);
    std::string domain;
    while (domains >> domain) {
        if (domain == "all" || domain == "talvori") return LogLevel::debug;
    }
    return LogLevel::info;
}

void JournalLogSink::write([[maybe_unused]] const LogRecord& record) {
#ifdef TALVORI_HAVE_JOURNAL
    int priority = LOG_INFO;
    switch (record.level) {
        case LogLevel::debug:
            priority = LOG_DEBUG;
            break;
        case LogLevel::info:
            priority = LOG_INFO;
            break;
        case LogLevel::defaultLevel:
            priority = LOG_NOTICE;
            break;
        case LogLevel::error:
            priority = LOG_ERR;
            break;
        case LogLevel::fault:
            priority = LOG_CRIT;
            break;
    }
    // The identifier lets `journalctl -t talvori` find the program's lines.
    sd_journal_send("MESSAGE=%s", record.message.c_str(), "PRIORITY=%i", priority,
                    "SYSLOG_IDENTIFIER=talvori", "TALVORI_SUBSYSTEM=%s", record.subsystem.c_str(),
                    "TALVORI_CATEGORY=%s", record.category.c_str(), nullptr);
#endif
}

}  // namespace talvori
