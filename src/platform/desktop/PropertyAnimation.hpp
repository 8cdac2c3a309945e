#pragma once

#include <functional>
#include <memory>

#include "platform/core/RunLoop.hpp"
#include "platform/desktop/AnimationCurve.hpp"

namespace talvori {

// Drives one animated property on the run loop: every frame (60 per second, and exactly at the end)
// it hands the eased progress to `step`. When the animation ends, or is cancelled because a newer
// one replaces it, `completion` runs once on a later turn. Both closures are released after the
// completion ran, so a step that holds its window keeps the window alive until then.
class PropertyAnimation : public std::enable_shared_from_this<PropertyAnimation> {
  public:
    using Step = std::function<void(double progress)>;

    static constexpr double kFrameInterval = 1.0 / 60.0;

    // A duration of 0 or less applies the end value at once.
    static std::shared_ptr<PropertyAnimation> start(RunLoop& loop, double duration,
                                                    AnimationCurve curve, Step step,
                                                    std::function<void()> completion);
    ~PropertyAnimation();

    // The eased progress at the current time; 1 once ended.
    double progress() const;
    bool isRunning() const { return running_; }
    // Stops without applying the end value; the completion still runs (on a later turn).
    void cancel();

    PropertyAnimation(const PropertyAnimation&) = delete;
    PropertyAnimation& operator=(const PropertyAnimation&) = delete;

  private:
    PropertyAnimation(std::weak_ptr<RunLoop> loop, Nanoseconds start, Nanoseconds end,
                      AnimationCurve curve, Step step, std::function<void()> completion);
    void scheduleNextFrame();
    void frame();
    void finish();

    std::weak_ptr<RunLoop> loop_;
    Nanoseconds start_;
    Nanoseconds end_;
    AnimationCurve curve_;
    Step step_;
    std::function<void()> completion_;
    ScheduledWork pending_{};
    bool running_ = true;
};

}  // namespace talvori
