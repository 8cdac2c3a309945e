#pragma once

#include <functional>

#include "platform/desktop/Alert.hpp"
#include "ui/PanelHost.hpp"
#include "ui/View.hpp"

namespace talvori {
class Alerts;
}

namespace talvori::ui {

template <class State>
class ViewContext;
struct NoState;

// How an alert looks: a dark dialog with the style's symbol, the message in bold, the informative
// text below it, and the buttons along the bottom, the first one at the trailing edge and the
// default one filled with the accent. Return and Escape are the alert window's business.
struct AlertView {
    static constexpr double kWidth = 420;

    Alert alert;
    // Called with the chosen button's response.
    std::function<void(long)> respond;

    // Makes every alert of `alerts` draw itself with this view.
    static void install(Alerts& alerts, PanelHost::Options options = {});

    View body(ViewContext<NoState>& ctx) const;
};

}  // namespace talvori::ui
