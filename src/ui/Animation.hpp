#pragma once

#include <optional>

namespace talvori::ui {

// A timing curve and a duration. Curves are cubic Béziers from (0, 0) to (1, 1), as in CSS.
class Animation {
  public:
    static Animation easeOut(double duration) { return {duration, 0, 0, 0.58, 1}; }
    static Animation easeIn(double duration) { return {duration, 0.42, 0, 1, 1}; }
    static Animation easeInOut(double duration) { return {duration, 0.42, 0, 0.58, 1}; }
    static Animation linear(double duration) { return {duration, 0, 0, 1, 1}; }

    // The same animation starting `seconds` later.
    Animation delay(double seconds) const {
        Animation copy = *this;
        copy.delay_ = seconds;
        return copy;
    }

    double duration() const { return duration_; }
    double delaySeconds() const { return delay_; }
    // Progress from 0 to 1 at `elapsed` seconds after the animation was made.
    double progress(double elapsed) const;
    bool isFinished(double elapsed) const { return elapsed >= delay_ + duration_; }
    bool operator==(const Animation&) const = default;

  private:
    Animation(double duration, double x1, double y1, double x2, double y2)
        : duration_(duration), x1_(x1), y1_(y1), x2_(x2), y2_(y2) {}
    double solveCurve(double x) const;

    double duration_;
    double delay_ = 0;
    double x1_, y1_, x2_, y2_;
};

}  // namespace talvori::ui
