#pragma once

#include "covers/RawTextEnum.hpp"

namespace talvori {

// How a cover is stacked: at the floating level, or directly above the window it is attached to.
class ZOrderMode : public RawTextEnum<ZOrderMode, 2> {
  public:
    enum Case : std::uint8_t { floating, smart };
    static constexpr std::array<std::string_view, 2> rawValues{"floating", "smart"};

    constexpr ZOrderMode(Case value = floating) : RawTextEnum(value) {}
    constexpr operator Case() const { return static_cast<Case>(index()); }
};

}  // namespace talvori
