#include "ui/AnimatedValue.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace talvori::ui {

namespace {

[[noreturn]] void tooManyValues() {
    std::fputs("Talvori: a view animates more numbers than AnimatedValue::Values holds\n", stderr);
    std::abort();
}

}  // namespace

AnimatedValue::Values::Values(std::initializer_list<double> values) : size_(values.size()) {
    if (size_ > kCapacity) tooManyValues();
    std::copy(values.begin(), values.end(), values_.begin());
}

AnimatedValue::Values::Values(std::size_t size) : size_(size) {
    if (size_ > kCapacity) tooManyValues();
}

bool AnimatedValue::Values::operator==(const Values& other) const {
    return size_ == other.size_ &&
           std::equal(values_.begin(), values_.begin() + static_cast<std::ptrdiff_t>(size_),
                      other.values_.begin());
}

AnimatedValue::Values AnimatedValue::valueAt(double now) const {
    if (!isAnimating(now)) return to_;
    const double progress = animation_->progress(now - start_);
    Values value(to_.size());
    for (std::size_t i = 0; i < to_.size(); ++i)
        value[i] = from_[i] + (to_[i] - from_[i]) * progress;
    return value;
}

double AnimatedValue::componentAt(std::size_t index, double now) const {
    if (index >= to_.size()) return 0;
    if (!isAnimating(now)) return to_[index];
    const double progress = animation_->progress(now - start_);
    return from_[index] + (to_[index] - from_[index]) * progress;
}

bool AnimatedValue::isAnimating(double now) const {
    return animation_ && !animation_->isFinished(now - start_);
}

bool AnimatedValue::setTarget(const Values& target, const std::optional<Animation>& animation,
                              double now) {
    if (hasValue_ && target == to_) return false;
    if (animation && hasValue_ && target.size() == to_.size()) {
        from_ = valueAt(now);
        animation_ = animation;
        start_ = now;
    } else {
        animation_.reset();
    }
    to_ = target;
    hasValue_ = true;
    return true;
}

}  // namespace talvori::ui
