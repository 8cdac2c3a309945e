#include "platform/x11/X11Workspace.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/core/NotificationCenter.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

extern char** environ;

namespace talvori::x11 {

namespace {

bool isAllowedURL(const std::string& url) {
    for (const char* scheme : {"http://", "https://", "mailto:"}) {
        if (url.rfind(scheme, 0) == 0) return url.size() > std::strlen(scheme);
    }
    return false;
}

// Reads the "Gtk/EnableAnimations" integer of the settings daemon's XSETTINGS blob.
std::optional<std::int32_t> enableAnimations(const std::vector<std::uint8_t>& blob) {
    if (blob.size() < 12) return std::nullopt;
    const bool bigEndian = blob[0] == 1;
    auto card32 = [&](std::size_t at) -> std::uint32_t {
        const std::uint8_t* p = &blob[at];
        return bigEndian ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                            std::uint32_t{p[2]} << 8 | p[3])
                         : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                            std::uint32_t{p[1]} << 8 | p[0]);
    };
    auto card16 = [&](std::size_t at) -> std::uint16_t {
        const std::uint8_t* p = &blob[at];
        return static_cast<std::uint16_t>(bigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
    };
    const auto pad = [](std::size_t length) { return (length + 3) & ~std::size_t{3}; };
    const std::uint32_t count = card32(8);
    std::size_t at = 12;
    for (std::uint32_t index = 0; index < count; ++index) {
        if (at + 4 > blob.size()) return std::nullopt;
        const std::uint8_t type = blob[at];
        const std::size_t nameLength = card16(at + 2);
        const std::size_t nameAt = at + 4;
        at = nameAt + pad(nameLength) + 4;
        if (at > blob.size()) return std::nullopt;
        const std::string name(blob.begin() + static_cast<long>(nameAt),
                               blob.begin() + static_cast<long>(nameAt + nameLength));
        std::size_t valueLength = 0;
        switch (type) {
            case 0:
                valueLength = 4;
                break;
            case 1:
                if (at + 4 > blob.size()) return std::nullopt;
                valueLength = 4 + pad(card32(at));
                break;
            case 2:
                valueLength = 8;
                break;
            default:
                return std::nullopt;
        }
        if (at + valueLength > blob.size()) return std::nullopt;
        if (type == 0 && name == "Gtk/EnableAnimations") {
            return static_cast<std::int32_t>(card32(at));
        }
        at += valueLength;
    }
    return std::nullopt;
}

}  // namespace

X11Workspace::X11Workspace(std::shared_ptr<X11Application> application, Logger log)
    : application_(std::move(application)), log_(std::move(log)) {
    frontPID_ = application_->clients().pid(application_->clients().activeWindow());
}

X11Workspace::~X11Workspace() = default;

std::int32_t X11Workspace::processIdentifier() const {
    return static_cast<std::int32_t>(::getpid());
}

std::optional<std::string> X11Workspace::bundleIdentifier() const {
    return std::string(kBundleIdentifier);
}

std::vector<RunningApplication> X11Workspace::runningApplications() const {
    X11ClientWindows& clients = application_->clients();
    std::map<std::int32_t, RunningApplication> byPID;
    const std::int32_t own = processIdentifier();
    byPID[own] = *applicationOf(own);
    for (const auto& client : clients.readClients(clients.clientList())) {
        if (client.pid <= 0) continue;
        auto& entry = byPID[client.pid];
        if (entry.processIdentifier == 0) {
            entry.processIdentifier = client.pid;
            entry.activationPolicy = ActivationPolicy::accessory;
        }
        if (!client.className.empty() && !entry.localizedName) {
            entry.bundleIdentifier = client.className;
            entry.localizedName = client.className;
        }
        // An application with a normal window in the task bar is a regular one.
        if (!client.isDock && !client.isDesktop && !client.skipsTaskbar) {
            entry.activationPolicy = ActivationPolicy::regular;
        }
    }
    std::vector<RunningApplication> result;
    for (auto& [pid, application] : byPID) {
        if (!firstSeen_.contains(pid)) firstSeen_[pid] = nextSeen_++;
        result.push_back(std::move(application));
    }
    std::sort(result.begin(), result.end(), [this](const auto& a, const auto& b) {
        return firstSeen_.at(a.processIdentifier) < firstSeen_.at(b.processIdentifier);
    });
    return result;
}

std::optional<RunningApplication> X11Workspace::applicationOf(std::int32_t pid) const {
    if (pid <= 0) return std::nullopt;
    RunningApplication application;
    application.processIdentifier = pid;
    if (pid == processIdentifier()) {
        application.bundleIdentifier = kBundleIdentifier;
        application.localizedName = "Talvori";
        application.activationPolicy = application_->activationPolicy();
        return application;
    }
    X11ClientWindows& clients = application_->clients();
    const xcb_window_t active = clients.activeWindow();
    if (const auto client = clients.readClient(active); client && client->pid == pid) {
        if (!client->className.empty()) {
            application.bundleIdentifier = client->className;
            application.localizedName = client->className;
        }
        return application;
    }
    for (const auto& running : runningApplications()) {
        if (running.processIdentifier == pid) return running;
    }
    return application;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const {
    return applicationOf(application_->clients().pid(application_->clients().activeWindow()));
}

void X11Workspace::handleEvent(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    X11Connection& connection = application_->connection();
    if (notify.window != connection.root() ||
        notify.atom != connection.atom(Atom::_NET_ACTIVE_WINDOW)) {
        return;
    }
    connection.noteTime(notify.time);
    const std::int32_t pid = application_->clients().pid(application_->clients().activeWindow());
    // Focus on the desktop (no active window) activates no application.
    if (pid <= 0 || pid == frontPID_) return;
    frontPID_ = pid;
    auto application = applicationOf(pid);
    if (!application) return;
    application_->loop()->post([weak = weak_from_this(), running = *application] {
        auto self = weak.lock();
        if (!self) return;
        self->application_->notificationCenter().post(kDidActivateApplicationNotification, nullptr,
                                                      {{kApplicationKey, running}});
    });
}

// ---- Opening addresses

bool X11Workspace::openURL(const std::string& url) {
    if (!isAllowedURL(url)) {
        log_.error("Refusing to open an address that is not http, https or mailto");
        return false;
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own session: the handler outlives us and ignores our terminal's signals.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string program = "xdg-open";
    std::vector<char*> arguments{program.data(), const_cast<char*>(url.c_str()), nullptr};
    pid_t pid = 0;
    const int error =
        ::posix_spawnp(&pid, program.c_str(), nullptr, &attributes, arguments.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        log_.error("Cannot start xdg-open: %{public}s", std::strerror(error));
        return false;
    }
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        ::waitpid(pid, nullptr, WNOHANG);
        return true;
    }
    children_[pid] =
        application_->loop()->watch(pidfd, POLLIN, [weak = weak_from_this(), pid, pidfd](short) {
            if (auto self = weak.lock()) self->reap(pid, pidfd);
        });
    return true;
}

void X11Workspace::reap(int pid, int pidfd) {
    int status = 0;
    ::waitpid(pid, &status, WNOHANG);
    ::close(pidfd);
    children_.erase(pid);
}

// ---- Reduce Motion

bool X11Workspace::accessibilityDisplayShouldReduceMotion() const {
    X11Connection& connection = application_->connection();
    xcb_connection_t* raw = connection.raw();
    auto owner = waitReply(xcb_get_selection_owner_reply, raw,
                           xcb_get_selection_owner(raw, connection.atom(Atom::settingsSelection)));
    if (!owner || owner->owner == XCB_WINDOW_NONE) return false;
    const auto settings = propertyReply(
        raw, requestProperty(raw, owner->owner, connection.atom(Atom::_XSETTINGS_SETTINGS), 16384));
    if (!settings || settings->format != 8) return false;
    const auto animations = enableAnimations(settings->bytes);
    return animations && *animations == 0;
}

}  // namespace talvori::x11
