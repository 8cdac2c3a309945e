#include "platform/Platform.hpp"

#include <cstdio>
#include <cstdlib>

#include "platform/core/JournalLogSink.hpp"
#include "platform/core/StandardErrorLogSink.hpp"

namespace talvori {

namespace {
std::unique_ptr<Platform> installed;
}  // namespace

Platform::Platform(std::shared_ptr<Clock> clock, std::shared_ptr<LogRouter> router)
    : clock_(std::move(clock)), logRouter_(std::move(router)) {
    virtualClock_ = dynamic_cast<VirtualClock*>(clock_.get());
    runLoop_ = RunLoop::create(clock_, logger("RunLoop"));
    notificationCenter_ = std::make_unique<NotificationCenter>(runLoop_);
}

Platform::~Platform() {
    destroyServices();
    // The desktop first: its windows and observers still reach the loop and the notification center
    // as they go.
    desktop_ = {};
    // Settings first, while the loop and the log still exist; then pending work, whose closures may
    // still reach the other services as they are destroyed.
    if (userDefaults_) userDefaults_->synchronize();
    userDefaults_.reset();
    notificationCenter_.reset();
    runLoop_.reset();
}

std::unique_ptr<Platform> Platform::makeReal() {
    auto router = std::make_shared<LogRouter>();
    router->addSink(std::make_shared<StandardErrorLogSink>(LogLevel::defaultLevel));
    if (JournalLogSink::isAvailable()) {
        router->addSink(std::make_shared<JournalLogSink>(
            JournalLogSink::minimumFromEnvironment(std::getenv("G_MESSAGES_DEBUG"))));
    }
    std::unique_ptr<Platform> platform(new Platform(std::make_shared<RealClock>(), router));
    platform->userDefaults_ = UserDefaults::fileBacked(
        UserDefaults::standardPath(), platform->runLoop_, platform->logger("Settings"));
    return platform;
}

std::unique_ptr<Platform> Platform::makeVirtual() {
    auto router = std::make_shared<LogRouter>();
    auto capture = std::make_shared<CaptureLogSink>();
    router->addSink(capture);
    std::unique_ptr<Platform> platform(new Platform(std::make_shared<VirtualClock>(), router));
    platform->logCapture_ = capture;
    platform->userDefaults_ = UserDefaults::inMemory();
    return platform;
}

const Platform::ServiceEntry* Platform::findService(std::type_index type) const {
    for (const auto& entry : services_) {
        if (entry.type == type) return &entry;
    }
    return nullptr;
}

const Platform::ServiceEntry& Platform::addService(std::type_index type,
                                                   std::shared_ptr<void> holder) {
    if (findService(type)) {
        std::fprintf(stderr, "Talvori: a shared instance asked for itself while being made\n");
        std::abort();
    }
    services_.push_back({type, std::move(holder)});
    return services_.back();
}

void Platform::destroyServices() {
    // One at a time, out of the list before it goes: a service that is going away is no longer
    // found, while the older ones it may still use are. One that is made meanwhile goes too.
    while (!services_.empty()) {
        auto newest = std::move(services_.back().holder);
        services_.pop_back();
        newest.reset();
    }
}

// Views leave their windows while platform() still answers: their hover, focus and disappearance
// handlers reach it, and once the platform is being destroyed it no longer does.
void Platform::detachWindowContents() {
    if (!hasDesktop()) return;
    for (const auto& window : application().windows()) window->setHostedContent(nullptr);
}

void Platform::installDesktop(Desktop desktop) {
    desktop_ = std::move(desktop);
}

void Platform::missingDesktop() {
    std::fprintf(stderr, "Talvori: no desktop is installed\n");
    std::abort();
}

void Platform::install(std::unique_ptr<Platform> platform) {
    uninstall();
    installed = std::move(platform);
}

void Platform::uninstall() {
    if (!installed) return;
    installed->detachWindowContents();
    // The shared instances go while platform() still reaches the platform that owns them: they
    // reach its services as they go.
    installed->destroyServices();
    // The backend next: it owns the windows and the bridges, whose views and cached objects still
    // reach the platform and the desktop's services as they go.
    installed->desktop_.backend.reset();
    installed->desktop_ = {};
    installed.reset();
}

bool Platform::isInstalled() {
    return installed != nullptr;
}

Platform& platform() {
    if (!installed) {
        std::fprintf(stderr, "Talvori: no platform is installed\n");
        std::abort();
    }
    return *installed;
}

}  // namespace talvori
