#pragma once

#include "covers/RawTextEnum.hpp"

namespace talvori {

// How Focus mode treats everything behind the focused window: a tint only, or a tint over the
// window server's background blur. Stored as its raw text.
class SpotlightEffect : public RawTextEnum<SpotlightEffect, 2> {
  public:
    enum Case : std::uint8_t { dim, glass };
    static constexpr std::array<std::string_view, 2> rawValues{"dim", "glass"};

    constexpr SpotlightEffect(Case value = dim) : RawTextEnum(value) {}
    constexpr operator Case() const { return static_cast<Case>(index()); }
};

}  // namespace talvori
