#include "platform/core/RepeatedLogLines.hpp"

#include "platform/core/RunLoop.hpp"

namespace talvori {

void RepeatedLogLines::log(LogLevel level, const std::string& kind, const std::string& line,
                           int shown) {
    const bool sameKind = loop_ && !periodEnd_.isEmpty() && kind == kind_;
    if (sameKind && shown_ >= shown) {
        ++counted_;
        last_ = line;
        level_ = level;
        return;
    }
    if (sameKind) {
        ++shown_;
        log_.write(level, "%{public}s", line);
        return;
    }
    flush();
    log_.write(level, "%{public}s", line);
    if (!loop_) return;
    kind_ = kind;
    shown_ = 1;
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
