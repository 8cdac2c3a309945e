#include "platform/x11/X11WindowList.hpp"

#include <unistd.h>

#include <algorithm>
#include <map>

#include "platform/desktop/Screens.hpp"
#include "platform/desktop/WindowListOption.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11FocusWatch.hpp"
#include "platform/x11/X11Panel.hpp"
#include "platform/x11/X11Screens.hpp"

namespace talvori::x11 {

namespace {

constexpr const char* kOwnName = "Talvori";

WindowInfo ownInfo(const X11Panel& panel, double primaryHeight) {
    WindowInfo info;
    info.number = panel.windowNumber();
    info.ownerPID = static_cast<std::int32_t>(::getpid());
    info.ownerName = kOwnName;
    info.layer = panel.level();
    info.alpha = panel.alphaValue();
    info.bounds = Screens::flipped(panel.frame(), primaryHeight);
    info.name = panel.title();
    info.isOnScreen = panel.isMapped();
    return info;
}

WindowInfo clientInfo(const X11ClientWindows::Client& client, const X11RootSpace& space) {
    WindowInfo info;
    info.number = client.window;
    if (client.pid > 0) info.ownerPID = client.pid;
    if (!client.className.empty()) info.ownerName = client.className;
    info.layer = client.layer;
    info.alpha = client.alpha;
    info.bounds = space.toTopLeft(client.rect);
    // X has no recording grant: titles are always readable.
    info.name = client.title;
    info.isOnScreen = client.isOnScreen();
    return info;
}

}  // namespace

// The window manager's answer to a switch comes in bursts over the first milliseconds: other work
// before then does not end the gathering. The caller's own look, due within it, does.
void X11WindowList::gatherChanges(double seconds) {
    constexpr double kFirstBursts = 0.004;
    X11Connection& connection = application_->connection();
    if (connection.isGathering() || connection.isClosed()) return;
    // Unheard, a switch that follows and the user's input would wait for the gathering's end.
    if (focusWatch_ && !focusWatch_->isHearing()) return;
    connection.gatherEvents(
        std::min(kFirstBursts, seconds), seconds + kFirstBursts,
        focusWatch_ ? focusWatch_->watch(application_->clients().keptWindows()) : Registration{});
}

Registration X11WindowList::hearSwitches() {
    if (!focusWatch_) return {};
    return focusWatch_->hear(application_->connection(), application_->clients().keptWindows());
}

std::optional<std::vector<WindowInfo>> X11WindowList::copyWindowInfo(unsigned options) const {
    if (application_->connection().isClosed()) return std::nullopt;
    X11ClientWindows& clients = application_->clients();
    const X11RootSpace& space = application_->screens().space();
    const double primaryHeight = application_->screens().primaryHeight();
    const bool onScreenOnly = (options & WindowListOption::onScreenOnly) != 0;
    const bool skipDesktop = (options & WindowListOption::excludeDesktopElements) != 0;

    std::multimap<xcb_window_t, X11ClientWindows::Client> byFrame;
    for (auto& client : clients.readClients(clients.clientList())) {
        byFrame.emplace(client.frame, std::move(client));
    }
    const auto& children = clients.knownRootChildren();
    std::vector<WindowInfo> onScreen;
    std::vector<WindowInfo> offScreen;
    auto add = [&](WindowInfo info) {
        (info.isOnScreen ? onScreen : offScreen).push_back(std::move(info));
    };
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (auto panel = application_->panel(*it)) {
            if (!panel->isManaged() && !panel->isClosed()) add(ownInfo(*panel, primaryHeight));
            continue;
        }
        const auto [first, last] = byFrame.equal_range(*it);
        for (auto entry = first; entry != last; ++entry) {
            const auto& client = entry->second;
            if (skipDesktop && client.isDesktop) continue;
            if (auto panel = application_->panel(client.window)) {
                WindowInfo info = ownInfo(*panel, primaryHeight);
                info.bounds = space.toTopLeft(client.rect);
                info.isOnScreen = client.isOnScreen();
                add(std::move(info));
            } else {
                add(clientInfo(client, space));
            }
        }
    }
    if (!onScreenOnly) onScreen.insert(onScreen.end(), offScreen.begin(), offScreen.end());
    return onScreen;
}

}  // namespace talvori::x11
