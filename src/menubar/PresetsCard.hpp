#pragma once

#include <memory>

#include "ui/UI.hpp"

namespace talvori {
class Session;
}

namespace talvori::ui {

// The saved layouts, a row each under the card's title; rows slide in and out as layouts come and
// go.
struct PresetsCard {
    static constexpr double kListDuration = 0.25;

    std::weak_ptr<Session> session;

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
