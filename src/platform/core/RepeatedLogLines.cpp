#include "platform/core/RepeatedLogLines.hpp"

#include "platform/core/RunLoop.hpp"

namespace talvori {

void RepeatedLogLines::log(LogLevel level, const std::string& kind, const std::string& line) {
    if (loop_ && !periodEnd_.isEmpty() && kind == kind_) {
        ++counted_;
        last_ = line;
        level_ = level;
        return;
    }
    flush();
    log_.write(level, "%{public}s", line);
    if (!loop_) return;
    kind_ = kind;
    // The timer holds no reference to us: the slot, our member, ends it with us.
    periodEnd_.replace(Timer::scheduledTimer(
        *loop_, kPeriod, false, [this](Timer&) { flush(); }, RunLoopMode::common));
}

void RepeatedLogLines::flush() {
    periodEnd_.clear();
    if (counted_ == 0) return;
    log_.write(level_, "%{public}s … repeated %{public}u times", last_, counted_);
    counted_ = 0;
}

}  // namespace talvori
