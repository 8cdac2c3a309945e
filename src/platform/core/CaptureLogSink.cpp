#include "platform/core/CaptureLogSink.hpp"

#include <algorithm>

namespace talvori {

void CaptureLogSink::write(const LogRecord& record) {
    std::lock_guard lock(mutex_);
    records_.push_back(record);
}

std::vector<LogRecord> CaptureLogSink::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::vector<std::string> CaptureLogSink::messages() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> messages;
    for (const auto& record : records_) messages.push_back(record.message);
    return messages;
}

bool CaptureLogSink::contains(std::string_view message) const {
    std::lock_guard lock(mutex_);
    return std::any_of(records_.begin(), records_.end(),
                       [&](const LogRecord& record) { return record.message == message; });
}

void CaptureLogSink::clear() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

}  // namespace talvori
