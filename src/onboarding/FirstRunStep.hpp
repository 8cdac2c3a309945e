#pragma once

#include <cstdint>

#include "onboarding/FinishVariant.hpp"

namespace talvori {

// A page of the first-run window. Two steps are equal when they are the same page and, for the
// last page, the same variant of it.
class FirstRunStep {
  public:
    // The page alone, without the finish variant: what the window slides between.
    enum class Kind : std::uint8_t { welcome, permission, finish };

    static constexpr FirstRunStep welcome() { return FirstRunStep(Kind::welcome); }
    static constexpr FirstRunStep permission() { return FirstRunStep(Kind::permission); }
    static constexpr FirstRunStep finish(FinishVariant variant) {
        return FirstRunStep(Kind::finish, variant);
    }

    constexpr Kind kind() const { return kind_; }
    constexpr bool isFinish() const { return kind_ == Kind::finish; }
    // Meaningful for finish steps only.
    constexpr FinishVariant finishVariant() const { return variant_; }

    constexpr bool operator==(const FirstRunStep& other) const {
        return kind_ == other.kind_ && (kind_ != Kind::finish || variant_ == other.variant_);
    }

  private:
    constexpr explicit FirstRunStep(Kind kind, FinishVariant variant = FinishVariant::granted)
        : kind_(kind), variant_(variant) {}

    Kind kind_;
    FinishVariant variant_;
};

}  // namespace talvori
