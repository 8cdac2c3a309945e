#include <csignal>
#include <cstdio>

#include "platform/Platform.hpp"

using namespace talvori;

int main() {
    Platform::install(Platform::makeReal());
    auto log = platform().logger("App");
    log.log("Talvori %{public}s started without a desktop: nothing is shown.", "0.1.0");
    std::fprintf(stderr,
                 "Talvori: covers, Focus mode, the global shortcuts and the views are built and "
                 "tested on the simulated desktop, but this program cannot reach a real desktop yet "
                 "(there is no X11 backend and no application core), so it shows nothing. Press "
                 "Ctrl-C to quit.\n");
    std::signal(SIGINT, [](int) { std::_Exit(0); });
    platform().runLoop().run();
    Platform::uninstall();
    return 0;
}
