#pragma once

#include "covers/RawTextEnum.hpp"

namespace talvori {

// An edge of a rectangle in the y-up screen space: top is the edge of greater y.
class SnapEdge : public RawTextEnum<SnapEdge, 4> {
  public:
    enum Case : std::uint8_t { top, right, bottom, left };
    static constexpr std::array<std::string_view, 4> rawValues{"top", "right", "bottom", "left"};

    constexpr SnapEdge(Case value = top) : RawTextEnum(value) {}
    constexpr operator Case() const { return static_cast<Case>(index()); }
};

}  // namespace talvori
