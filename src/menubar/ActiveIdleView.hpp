#pragma once

#include <memory>

#include "ui/UI.hpp"

namespace talvori {
class Session;
}

namespace talvori::ui {

// The panel below its header: the Focus card, the covers section with its count or undo link, the
// new-cover button and the covers card, and the layouts card while layouts exist.
struct ActiveIdleView {
    static constexpr double kUndoAppearDuration = 0.15;
    static constexpr double kUndoDisappearDuration = 0.3;

    std::weak_ptr<Session> session;

    View body(ViewContext<NoState>& ctx) const;

  private:
    View coversSection(ViewContext<NoState>& ctx, Session& current) const;
    View statusLine(ViewContext<NoState>& ctx, Session& current) const;
};

}  // namespace talvori::ui
