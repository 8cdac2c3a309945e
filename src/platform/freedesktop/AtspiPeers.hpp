#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"
#include "platform/freedesktop/AtspiObjects.hpp"

namespace talvori {
class FileWatch;
class RunLoop;
}  // namespace talvori

namespace talvori::freedesktop {

class SessionBus;

// Readers that call us straight, without the accessibility bus in between: a reader asks for the
// address once and then sends its many calls per key there, each answered without the two hops
// through the bus daemon. Our events still go out on the bus. Each reader that connects gets our
// objects on a connection of its own, dropped when it hangs up.
class AtspiPeers {
  public:
    AtspiPeers(RunLoop& loop, AtspiObjects::Source& source, Logger log);
    ~AtspiPeers();
    AtspiPeers(const AtspiPeers&) = delete;
    AtspiPeers& operator=(const AtspiPeers&) = delete;

    // Where readers connect ("unix:abstract=..."), listening from the first time it is asked;
    // empty when no socket could be made, which sends readers through the bus.
    const std::string& address();
    // The readers connected now.
    std::size_t count() const { return peers_.size(); }

  private:
    struct Peer;
    bool listen();
    void accept();
    void dropClosedPeers();

    RunLoop& loop_;
    AtspiObjects::Source& source_;
    Logger log_;
    int listener_ = -1;
    std::string address_;
    bool tried_ = false;
    std::shared_ptr<FileWatch> listening_;
    std::vector<std::unique_ptr<Peer>> peers_;
    // Work posted for later does nothing once we are gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace talvori::freedesktop
