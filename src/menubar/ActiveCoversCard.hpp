#pragma once

#include <memory>

#include "ui/UI.hpp"

namespace talvori {
class Session;
}

namespace talvori::ui {

// The open covers, a row each, above "Save as layout" and "Close all covers". While a close-all
// runs the rows ignore the pointer and the bar fades away.
struct ActiveCoversCard {
    static constexpr double kBarFadeDuration = 0.15;

    std::weak_ptr<Session> session;

    View body(ViewContext<NoState>& ctx) const;

  private:
    View actionBar(ViewContext<NoState>& ctx, Session& current) const;
};

}  // namespace talvori::ui
