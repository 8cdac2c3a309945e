#pragma once

#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// The small capitals over a section of a settings tab; a section after the first keeps its
// distance from the one above.
struct SettingsSectionHeader {
    static constexpr double kFollowingTopPadding = 14;

    std::string title;
    bool isFollowing = false;

    bool operator==(const SettingsSectionHeader&) const = default;
    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
