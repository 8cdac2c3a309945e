#include <cstdio>

#include "app/TalvoriApp.hpp"
#include "platform/Platform.hpp"
#include "platform/x11/X11Desktop.hpp"

using namespace talvori;

namespace {

// The one place that picks the desktop backend: the X server when one is reachable.
void installDesktop(Platform& platform) {
    x11::X11Desktop::install(platform);
}

// Starts the application on the installed platform and runs it until it quits. Without a desktop
// there is nothing to show and nobody to quit it, so it says so and fails instead of sitting idle.
int runApplication() {
    if (!platform().hasDesktop()) {
        std::fprintf(stderr,
                     "Talvori: no desktop backend is present, so there is no desktop to show "
                     "Talvori on. The program stops.\n");
        return 1;
    }
    const auto app = TalvoriApp::start();
    platform().runLoop().run();
    return 0;
}

}  // namespace

int main() {
    Platform::install(Platform::makeReal());
    installDesktop(platform());
    const int status = runApplication();
    Platform::uninstall();
    return status;
}
