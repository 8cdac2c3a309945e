#include "platform/desktop/PropertyAnimation.hpp"

#include <algorithm>
#include <utility>

namespace talvori {

std::shared_ptr<PropertyAnimation> PropertyAnimation::start(RunLoop& loop, double duration,
                                                            AnimationCurve curve, Step step,
                                                            std::function<void()> completion) {
    const Nanoseconds now = loop.now();
    const Nanoseconds end =
        addSaturating(now, std::max<Nanoseconds>(0, nanosecondsFromSeconds(duration)));
    std::shared_ptr<PropertyAnimation> animation(new PropertyAnimation(
        loop.weak_from_this(), now, end, curve, std::move(step), std::move(completion)));
    if (end <= now) {
        animation->step_(1.0);
        animation->finish();
    } else {
        animation->scheduleNextFrame();
    }
    return animation;
}

PropertyAnimation::PropertyAnimation(std::weak_ptr<RunLoop> loop, Nanoseconds start,
                                     Nanoseconds end, AnimationCurve curve, Step step,
                                     std::function<void()> completion)
    : loop_(std::move(loop)),
      start_(start),
      end_(end),
      curve_(curve),
      step_(std::move(step)),
      completion_(std::move(completion)) {}

PropertyAnimation::~PropertyAnimation() {
    if (auto loop = loop_.lock(); loop && running_) loop->cancel(pending_);
}

double PropertyAnimation::progress() const {
    auto loop = loop_.lock();
    if (!running_ || !loop) return 1.0;
    const double fraction =
        static_cast<double>(loop->now() - start_) / static_cast<double>(end_ - start_);
    return animationProgress(curve_, fraction);
}

void PropertyAnimation::scheduleNextFrame() {
    auto loop = loop_.lock();
    if (!loop) return;
    const Nanoseconds next =
        std::min(end_, addSaturating(loop->now(), nanosecondsFromSeconds(kFrameInterval)));
    // The run loop holds the animation until its last frame, so nobody needs to keep it.
    pending_ =
        loop->schedule(next, RunLoopMode::common, [self = shared_from_this()] { self->frame(); });
}

void PropertyAnimation::frame() {
    if (!running_) return;
    auto loop = loop_.lock();
    if (!loop) return;
    const bool atEnd = loop->now() >= end_;
    // The step may replace this animation (and so cancel it): keep the closure alive while it runs.
    auto step = step_;
    step(atEnd ? 1.0 : progress());
    if (!running_) return;
    if (atEnd) {
        finish();
    } else {
        scheduleNextFrame();
    }
}

void PropertyAnimation::cancel() {
    if (!running_) return;
    if (auto loop = loop_.lock()) loop->cancel(pending_);
    finish();
}

void PropertyAnimation::finish() {
    running_ = false;
    // The step holds what it animates: keep that alive until the completion has run.
    auto step = std::exchange(step_, nullptr);
    auto completion = std::exchange(completion_, nullptr);
    auto loop = loop_.lock();
    if (!loop) return;
    loop->post([step = std::move(step), completion = std::move(completion)] {
        if (completion) completion();
    });
}

}  // namespace talvori
