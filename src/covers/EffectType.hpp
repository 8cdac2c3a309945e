#pragma once

#include "covers/RawTextEnum.hpp"

namespace talvori {

// How a cover is drawn.
class EffectType : public RawTextEnum<EffectType, 2> {
  public:
    enum Case : std::uint8_t { solid, glass };
    static constexpr std::array<std::string_view, 2> rawValues{"solid", "glass"};

    constexpr EffectType(Case value = solid) : RawTextEnum(value) {}
    constexpr operator Case() const { return static_cast<Case>(index()); }
};

}  // namespace talvori
