#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>

#include "ui/Animation.hpp"

namespace talvori::ui {

// A list of numbers that a view draws with (an opacity, an offset, the components of a colour, a
// frame) moving from where it was shown towards a new target along an animation. Lists of another
// length jump.
class AnimatedValue {
  public:
    // At most kCapacity numbers, kept inline: every build and every frame makes these, and a heap
    // allocation each time cost more than the arithmetic.
    class Values {
      public:
        static constexpr std::size_t kCapacity = 8;

        Values() = default;
        Values(std::initializer_list<double> values);
        explicit Values(std::size_t size);

        std::size_t size() const { return size_; }
        bool empty() const { return size_ == 0; }
        double operator[](std::size_t index) const { return values_[index]; }
        double& operator[](std::size_t index) { return values_[index]; }
        bool operator==(const Values& other) const;

      private:
        std::array<double, kCapacity> values_{};
        std::size_t size_ = 0;
    };

    const Values& target() const { return to_; }
    bool hasValue() const { return hasValue_; }
    // The value shown at `now` (seconds on the platform clock).
    Values valueAt(double now) const;
    double componentAt(std::size_t index, double now) const;
    bool isAnimating(double now) const;

    // Sets a new target: animates from the value shown at `now` when `animation` is given and the
    // shape of the value is unchanged; jumps otherwise. Returns whether the target changed.
    bool setTarget(const Values& target, const std::optional<Animation>& animation, double now);

  private:
    Values from_;
    Values to_;
    std::optional<Animation> animation_;
    double start_ = 0;
    bool hasValue_ = false;
};

}  // namespace talvori::ui
