#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/TalvoriApp.hpp"
#include "platform/Platform.hpp"
#include "platform/core/SignalWatch.hpp"
#include "platform/freedesktop/SingleInstance.hpp"
#include "platform/x11/X11Desktop.hpp"

using namespace talvori;

// Read by the leak checker of a sanitized build when the program ends. The font configuration
// library keeps allocations for the life of the process that no longer have a pointer to them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace {

void printUsage(std::FILE* stream) {
    std::fprintf(
        stream,
        "Usage: talvori [--help] [--version]\n"
        "\n"
        "Dims or blurs everything behind the window you work in (Focus), and hides parts\n"
        "of the screen under covers. Runs on an X11 desktop ($DISPLAY) from its status icon\n"
        "until you quit it from its panel; started again, it opens the running one's panel.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "Files:\n"
        "  settings  %s\n"
        "            ($XDG_CONFIG_HOME/talvori, else ~/.config/talvori)\n"
        "  log       standard error, and the systemd journal: journalctl --user -t talvori\n"
        "            (debug lines too with G_MESSAGES_DEBUG=all)\n",
        UserDefaults::standardPath().c_str());
}

// What the command line asks for when it is not running the program: the exit status.
std::optional<int> answerCommandLine(int argc, char** argv) {
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument == "--help" || argument == "-h") {
            printUsage(stdout);
            return 0;
        }
        if (argument == "--version" || argument == "-V") {
            const auto& bundle = Bundle::program();
            std::printf("Talvori %s (build %s)\n", bundle.shortVersion().value_or("?").c_str(),
                        bundle.version().value_or("?").c_str());
            return 0;
        }
        std::fprintf(stderr, "talvori: unknown option '%s'\n\n", argv[index]);
        printUsage(stderr);
        return 2;
    }
    return std::nullopt;
}

void explainMissingDisplay() {
    const char* display = std::getenv("DISPLAY");
    if (display && display[0]) {
        std::fprintf(stderr, "Talvori: cannot reach the X display \"%s\" that DISPLAY names.\n",
                     display);
    } else {
        std::fprintf(stderr, "Talvori: DISPLAY is not set, so there is no X display to run on.\n");
    }
    const char* session = std::getenv("XDG_SESSION_TYPE");
    if (session && std::string_view(session) == "wayland") {
        std::fprintf(stderr,
                     "This is a Wayland session: Talvori works with X11 (XWayland) windows only,\n"
                     "and needs XWayland running.\n");
    }
    std::fprintf(stderr,
                 "Start Talvori from an X11 desktop, or set DISPLAY to one. To see it without a\n"
                 "desktop, run scripts/run in its source folder with DISPLAY unset: it walks a\n"
                 "short tour on a private headless desktop and saves a screenshot of each step.\n");
}

// Runs the application until it quits.
int runApplication(SignalWatch& quit, const std::weak_ptr<x11::X11Desktop>& desktop) {
    const auto app = TalvoriApp::start();
    platform().runLoop().run();
    // What the user changed last is written before anything that may wait on another program.
    platform().userDefaults().synchronize();
    quit.letLaterSignalsEnd();
    if (const auto installed = desktop.lock()) installed->handOverClipboard();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = answerCommandLine(argc, argv)) return *status;
    Platform::install(Platform::makeReal());
    // The session ending (SIGTERM), Ctrl-C (SIGINT) and a closed terminal (SIGHUP) quit the way
    // the panel's Quit does, even while this start still asks whether Talvori runs already.
    bool quitAsked = false;
    SignalWatch quit(platform().runLoop(), {SIGTERM, SIGINT, SIGHUP}, SignalWatch::Delivery::once,
                     [&quitAsked](int) {
                         quitAsked = true;
                         if (platform().hasDesktop()) platform().application().terminate();
                     });
    // The platform keeps the desktop: it must go with the platform.
    std::weak_ptr<x11::X11Desktop> desktop;
    std::shared_ptr<freedesktop::SessionBus> bus;
    if (const auto installed = x11::X11Desktop::install(platform())) {
        desktop = installed;
        bus = installed->sessionBus();
    } else {
        explainMissingDisplay();
        Platform::uninstall();
        return 1;
    }
    auto claim = freedesktop::SingleInstance::claim(
        bus, platform().runLoop(), [] { platform().application().reopen(); },
        [&quitAsked] { return quitAsked; }, platform().logger("Application"));
    bus.reset();
    int status = 0;
    if (!claim.instance) {
        std::fprintf(stderr, "%s\n", claim.handedOver.c_str());
    } else if (quitAsked) {
        quit.letLaterSignalsEnd();
    } else {
        status = runApplication(quit, desktop);
    }
    claim.instance.reset();
    Platform::uninstall();
    return status;
}
