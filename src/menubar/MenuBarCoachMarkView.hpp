#pragma once

#include <optional>
#include <string>

#include "ui/UI.hpp"

namespace talvori::ui {

// The first-use coach mark's bubble under the status item: the item's own icon on a tile, "Look
// for this icon" and "Click it to open Talvori.", with its beak pointing up at the item (down at
// it from above an item low on its screen). Given a title and a message, the same bubble tells
// something else about the item.
struct MenuBarCoachMarkView {
    static constexpr double kWidth = 236;
    static constexpr double kBeakHeight = 6;
    static constexpr double kBeakHalfWidth = 7.5;
    static constexpr double kCornerRadius = 10;
    static constexpr const char* kTitle = "Look for this icon";
    static constexpr const char* kSubtitle = "Click it to open Talvori.";
    // The subtitle, then the keys that open the panel as set, for those who do not point.
    static std::string subtitle();

    double beakCenterX = kWidth / 2;
    bool beakPointsDown = false;
    // None: the coach mark's.
    std::optional<std::string> title = std::nullopt;
    std::optional<std::string> message = std::nullopt;

    // The title and the message as one text, for screen readers.
    std::string announcement() const;

    bool operator==(const MenuBarCoachMarkView&) const = default;
    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
