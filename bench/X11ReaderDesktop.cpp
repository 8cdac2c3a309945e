#include "X11ReaderDesktop.hpp"

#include <chrono>

#include "app/RuntimeCoordinator.hpp"
#include "app/WindowManager.hpp"
#include "platform/Platform.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/freedesktop/AtspiBridge.hpp"
#include "platform/x11/X11Desktop.hpp"

namespace talvori::bench {

X11ReaderDesktop::X11ReaderDesktop() : bus_(session_), accessibility_(session_, bus_) {
    if (!session_.isReady() || !bus_.isReady() || !accessibility_.isReady()) {
        error_ = !session_.isReady() ? session_.error()
                 : !bus_.isReady()   ? bus_.error()
                                     : accessibility_.error();
        return;
    }
    auto real = Platform::makeReal();
    real->setUserDefaults(UserDefaults::inMemory());
    Platform::install(std::move(real));
    desktop = x11::X11Desktop::install(platform(), session_.display().c_str());
    driver = std::make_unique<testing::X11TestDriver>(session_.display());
    coordinator = RuntimeCoordinator::create();
    manager = coordinator->startRuntime();
}

X11ReaderDesktop::~X11ReaderDesktop() {
    reader.reset();
    manager.reset();
    coordinator.reset();
    desktop.reset();
    if (Platform::isInstalled()) Platform::uninstall();
}

bool X11ReaderDesktop::startReader() {
    if (!accessibility_.setEnabled(true) || !newReader()) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!desktop->accessibilityBridge().isRegistered()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        platform().runLoop().runOnce(0.0002);
    }
    return true;
}

bool X11ReaderDesktop::newReader() {
    reader.reset();
    reader = std::make_unique<testing::AtspiTestReader>(session_, accessibility_.address());
    return reader->isReady();
}

}  // namespace talvori::bench
