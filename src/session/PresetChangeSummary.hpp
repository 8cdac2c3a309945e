#pragma once

#include <cstddef>
#include <vector>

#include "covers/PresetChange.hpp"

namespace talvori {

// The difference lines a layout row shows, and how many further lines it only counts.
struct PresetChangeSummary {
    std::vector<PresetChange> lines;
    std::size_t hiddenCount = 0;
    bool operator==(const PresetChangeSummary&) const = default;
};

}  // namespace talvori
