#include "platform/freedesktop/AtspiPeers.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/freedesktop/SessionBus.hpp"

namespace talvori::freedesktop {

struct AtspiPeers::Peer {
    std::shared_ptr<SessionBus> bus;
    std::vector<BusSlot> objects;
    Registration connection;
};

namespace {

// A reader can press our buttons and type into our fields: only the user's own programs may.
bool isOurUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

}  // namespace

AtspiPeers::AtspiPeers(RunLoop& loop, AtspiObjects::Source& source, Logger log)
    : loop_(loop), source_(source), log_(std::move(log)) {}

AtspiPeers::~AtspiPeers() {
    listening_.reset();
    peers_.clear();
    if (listener_ >= 0) ::close(listener_);
}

const std::string& AtspiPeers::address() {
    if (!tried_) {
        tried_ = true;
        if (!listen()) address_.clear();
    }
    return address_;
}

// An abstract socket: nothing to remove from the file system when we end, however we end.
bool AtspiPeers::listen() {
    // Unique among the live bridges of every process.
    const std::string name = "talvori-atspi-" + std::to_string(::getpid()) + "-" +
                             std::to_string(reinterpret_cast<std::uintptr_t>(this));
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return false;
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::memcpy(where.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&where), length) < 0 ||
        ::listen(listener_, 8) < 0) {
        log_.error("Readers cannot call us straight (%{public}s): they go through the bus",
                   std::strerror(errno));
        ::close(listener_);
        listener_ = -1;
        return false;
    }
    address_ = "unix:abstract=" + name;
    listening_ = loop_.watch(listener_, POLLIN, [this](short) { accept(); });
    return true;
}

void AtspiPeers::accept() {
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        if (!isOurUser(fd)) {
            ::close(fd);
            continue;
        }
        auto peer = std::make_unique<Peer>();
        peer->bus = SessionBus::servePeer(loop_, fd, log_);
        if (!peer->bus) continue;
        if (!AtspiObjects::install(peer->bus->raw(), source_, peer->objects)) continue;
        // Dropped on the next turn: the bus is still in the middle of telling its observers.
        peer->connection = peer->bus->observeConnection([this] {
            loop_.post(weakly(std::weak_ptr(alive_), [this](bool&) { dropClosedPeers(); }));
        });
        peers_.push_back(std::move(peer));
    }
}

void AtspiPeers::dropClosedPeers() {
    std::erase_if(peers_, [](const auto& peer) { return !peer->bus->isConnected(); });
}

}  // namespace talvori::freedesktop
