#include "platform/x11/X11Workspace.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string_view>

#include "platform/core/NotificationCenter.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/SpawnAttributes.hpp"
#include "platform/core/weakly.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ApplicationIdentities.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11MotionPreference.hpp"
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

// Everything but the unreserved characters and the separators is escaped, so that the handler
// reads the one path it was given.
std::string fileURL(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const unsigned char c : path) {
        if (std::isalnum(c) ||
            std::string_view("/-._~").find(static_cast<char>(c)) != std::string_view::npos) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

}  // namespace

X11Workspace::X11Workspace(std::shared_ptr<X11Application> application,
                           std::shared_ptr<X11MotionPreference> motion, Logger log)
    : application_(std::move(application)),
      log_(std::move(log)),
      motion_(std::move(motion)),
      identities_(std::make_unique<X11ApplicationIdentities>(application_->sharedConnection())) {
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
    std::set<std::int32_t> live;
    for (const auto& client : clients.readClients(clients.clientList())) {
        if (client.pid <= 0) continue;
        live.insert(client.pid);
        auto& entry = byPID[client.pid];
        if (entry.processIdentifier == 0) {
            entry.processIdentifier = client.pid;
            entry.activationPolicy = ActivationPolicy::accessory;
        }
        if (!client.className.empty() && !entry.bundleIdentifier) name(entry, client, true);
        // An application with a normal window in the task bar is a regular one.
        if (!client.isDock && !client.isDesktop && !client.skipsTaskbar) {
            entry.activationPolicy = ActivationPolicy::regular;
        }
    }
    identities_->keepOnly(live);
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
        if (!client->className.empty()) name(application, *client, false);
        return application;
    }
    for (const auto& running : runningApplications()) {
        if (running.processIdentifier == pid) return running;
    }
    return application;
}

void X11Workspace::name(RunningApplication& application, const X11ClientWindows::Client& client,
                        bool withIcon) const {
    const auto& identity = identities_->identify(client.pid, client.instanceName, client.className);
    application.bundleIdentifier = client.className;
    application.localizedName = identity.name;
    application.icon = withIcon ? identities_->fetchIcon(client.pid, client.window) : identity.icon;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const {
    return applicationOf(application_->clients().pid(application_->clients().activeWindow()));
}

void X11Workspace::subscribe(X11EventRouter& router) {
    motion_->subscribe(router);
    router.onProperty<&X11Workspace::activeWindowAnnounced>(
        application_->connection().atom(Atom::_NET_ACTIVE_WINDOW), *this);
}

void X11Workspace::activeWindowAnnounced(const xcb_property_notify_event_t& notify) {
    X11Connection& connection = application_->connection();
    if (notify.window == connection.root()) connection.noteTime(notify.time);
}

void X11Workspace::activeWindowChanged() {
    const std::int32_t pid = application_->clients().pid(application_->clients().activeWindow());
    // Focus on the desktop (no active window) activates no application.
    if (pid <= 0 || pid == frontPID_) return;
    frontPID_ = pid;
    auto application = applicationOf(pid);
    if (!application) return;
    // Posted at once: those who follow the front application on the main thread hear of it
    // inside the event that told us.
    application_->notificationCenter().post(kDidActivateApplicationNotification, nullptr,
                                            {{kApplicationKey, *application}});
}

// ---- Opening addresses

bool X11Workspace::openURL(const std::string& url) {
    if (!isAllowedURL(url)) {
        log_.error("Refusing to open an address that is not http, https or mailto");
        return false;
    }
    return startOpener(url);
}

bool X11Workspace::openFile(const std::string& path) {
    if (path.empty() || path.front() != '/') {
        log_.error("Refusing to open a file by a relative path");
        return false;
    }
    return startOpener(fileURL(path));
}

bool X11Workspace::startOpener(const std::string& url) {
    // Its own session: the handler outlives us and ignores our terminal's signals.
    const SpawnAttributes attributes(POSIX_SPAWN_SETSID);
    std::string program = "xdg-open";
    std::vector<char*> arguments{program.data(), const_cast<char*>(url.c_str()), nullptr};
    pid_t pid = 0;
    const int error =
        ::posix_spawnp(&pid, program.c_str(), nullptr, attributes.get(), arguments.data(), environ);
    if (error != 0) {
        log_.error("Cannot start xdg-open: %{public}s", std::strerror(error));
        return false;
    }
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        ::waitpid(pid, nullptr, WNOHANG);
        return true;
    }
    children_[pid] = application_->loop()->watch(
        pidfd, POLLIN,
        weakly(weak_from_this(), [pid, pidfd](X11Workspace& self) { self.reap(pid, pidfd); }));
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
    return motion_->reducesMotion();
}

}  // namespace talvori::x11
