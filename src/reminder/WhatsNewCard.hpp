#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Observation.hpp"
#include "ui/UI.hpp"

namespace talvori {

// The underlined "Full release notes" link of the what's-new card.
struct ReleaseNotesLink {
    static constexpr double kHoverDuration = 0.15;

    std::string url;

    struct State {
        Observable<bool> isHovering{false};
    };

    bool operator==(const ReleaseNotesLink&) const = default;
    ui::View body(ui::ViewContext<State>& ctx) const;
};

// The card in the menu-bar panel after the user moved to a new version: what is new in it, a close
// button and the link to the full release notes.
struct WhatsNewCard {
    std::string version;
    std::vector<std::string> bullets;
    std::optional<std::string> releaseNotesURL;
    std::function<void()> onClose;

    ui::View body(ui::ViewContext<ui::NoState>& ctx) const;
};

}  // namespace talvori
