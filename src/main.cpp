#include <csignal>
#include <cstdio>

#include "platform/Platform.hpp"

using namespace talvori;

int main() {
    Platform::install(Platform::makeReal());
    auto log = platform().logger("App");
    log.log("Talvori %{public}s started: only the core services exist so far; nothing is shown.",
            "0.1.0");
    std::fprintf(stderr,
                 "Talvori: the core platform services run; covers, Focus mode and the status-bar "
                 "panel are not built yet. Press Ctrl-C to quit.\n");
    std::signal(SIGINT, [](int) { std::_Exit(0); });
    platform().runLoop().run();
    Platform::uninstall();
    return 0;
}
