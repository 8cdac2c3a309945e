#pragma once

#include <memory>
#include <string>
#include <typeindex>
#include <vector>

#include "platform/core/CaptureLogSink.hpp"
#include "platform/core/Clock.hpp"
#include "platform/core/Logger.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/desktop/Accessibility.hpp"
#include "platform/desktop/Alerts.hpp"
#include "platform/desktop/Announcer.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/Bundle.hpp"
#include "platform/desktop/ColorSampler.hpp"
#include "platform/desktop/HotKeyService.hpp"
#include "platform/desktop/Input.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "platform/desktop/LoginItem.hpp"
#include "platform/desktop/Pasteboard.hpp"
#include "platform/desktop/Screens.hpp"
#include "platform/desktop/Sound.hpp"
#include "platform/desktop/StatusBar.hpp"
#include "platform/desktop/WindowList.hpp"
#include "platform/desktop/Workspace.hpp"

namespace talvori {

// The services the program asks of the operating system, installed once at program start (and
// freshly by each test). Code reaches them through platform().
class Platform {
  public:
    // The desktop's services, all from one backend (the simulation or X11), which `backend` keeps
    // alive.
    struct Desktop {
        std::shared_ptr<Application> application;
        std::shared_ptr<Screens> screens;
        std::shared_ptr<WindowList> windowList;
        std::shared_ptr<Workspace> workspace;
        std::shared_ptr<Accessibility> accessibility;
        std::shared_ptr<Input> input;
        std::shared_ptr<StatusBar> statusBar;
        std::shared_ptr<Announcer> announcer;
        std::shared_ptr<ColorSampler> colorSampler;
        std::shared_ptr<LoginItem> loginItem;
        std::shared_ptr<HotKeyService> hotKeyService;
        std::shared_ptr<KeyboardLayout> keyboardLayout;
        std::shared_ptr<void> backend;
        std::shared_ptr<Alerts> alerts;
        std::shared_ptr<Pasteboard> pasteboard;
        std::shared_ptr<Sound> sound;
    };

    static constexpr const char* kLogSubsystem = "org.talvori.Talvori";

    // Real time, the settings file under the XDG config folder, logs to standard error and the
    // journal.
    static std::unique_ptr<Platform> makeReal();
    // Virtual time, settings in memory, logs captured (errors also on standard error).
    static std::unique_ptr<Platform> makeVirtual();

    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    RunLoop& runLoop() const { return *runLoop_; }
    const std::shared_ptr<RunLoop>& sharedRunLoop() const { return runLoop_; }
    Clock& clock() const { return *clock_; }
    // Present when time is virtual.
    VirtualClock* virtualClock() const { return virtualClock_; }
    NotificationCenter& notificationCenter() const { return *notificationCenter_; }
    UserDefaults& userDefaults() const { return *userDefaults_; }
    void setUserDefaults(std::shared_ptr<UserDefaults> defaults) {
        userDefaults_ = std::move(defaults);
    }
    Logger logger(std::string category) const {
        return Logger(logRouter_, kLogSubsystem, std::move(category));
    }
    LogRouter& logRouter() const { return *logRouter_; }
    // Present on a virtual platform.
    CaptureLogSink* logCapture() const { return logCapture_.get(); }

    // The desktop services. A platform made by makeVirtual() or makeReal() has none until a backend
    // installs them; asking for one then stops the program with a fixed message.
    void installDesktop(Desktop desktop);
    bool hasDesktop() const { return desktop_.application != nullptr; }
    Application& application() const { return desktopService(desktop_.application); }
    Screens& screens() const { return desktopService(desktop_.screens); }
    WindowList& windowList() const { return desktopService(desktop_.windowList); }
    Workspace& workspace() const { return desktopService(desktop_.workspace); }
    Accessibility& accessibility() const { return desktopService(desktop_.accessibility); }
    Input& input() const { return desktopService(desktop_.input); }
    StatusBar& statusBar() const { return desktopService(desktop_.statusBar); }
    Announcer& announcer() const { return desktopService(desktop_.announcer); }
    ColorSampler& colorSampler() const { return desktopService(desktop_.colorSampler); }
    LoginItem& loginItem() const { return desktopService(desktop_.loginItem); }
    HotKeyService& hotKeyService() const { return desktopService(desktop_.hotKeyService); }
    KeyboardLayout& keyboardLayout() const { return desktopService(desktop_.keyboardLayout); }
    Alerts& alerts() const { return desktopService(desktop_.alerts); }
    Pasteboard& pasteboard() const { return desktopService(desktop_.pasteboard); }
    Sound& sound() const { return desktopService(desktop_.sound); }

    // The program's own information: version, build, identifier, update feed. Tests replace it.
    const Bundle& mainBundle() const { return mainBundle_; }
    void setMainBundle(Bundle bundle) { mainBundle_ = std::move(bundle); }

    // The shared instance of T that this platform owns (the shared instances the design names:
    // the permission services, the hot-key registry and centre, ...), made on first use by
    // T::makeShared() (or std::make_shared<T>() for a type without one). Every shared instance
    // is destroyed with the platform, newest first and before the desktop, so that each test
    // starts without any, and a service still reaches the desktop and the services made before it
    // while it goes.
    template <class T>
    const std::shared_ptr<T>& service();
    // The same, made by `make()`, which returns a std::shared_ptr<T>, on first use.
    template <class T, class Make>
    const std::shared_ptr<T>& service(Make&& make);
    // The shared instance of T if it was made and is not being destroyed; null otherwise.
    template <class T>
    T* existingService() const;
    // Destroys every shared instance, newest first, as if the program started anew; the next
    // service<T>() makes a fresh one.
    void destroyServicesForTesting() { destroyServices(); }

    // Installs `platform` as the one platform() returns; replaces (and destroys) any earlier one.
    static void install(std::unique_ptr<Platform> platform);
    static void uninstall();
    static bool isInstalled();

  private:
    struct ServiceEntry {
        std::type_index type;
        // A std::shared_ptr<T>, which service<T>() hands out by reference.
        std::shared_ptr<void> holder;
    };

    Platform(std::shared_ptr<Clock> clock, std::shared_ptr<LogRouter> router);

    const ServiceEntry* findService(std::type_index type) const;
    const ServiceEntry& addService(std::type_index type, std::shared_ptr<void> holder);
    void destroyServices();
    void detachWindowContents();

    template <class Service>
    static Service& desktopService(const std::shared_ptr<Service>& service) {
        if (!service) missingDesktop();
        return *service;
    }
    [[noreturn]] static void missingDesktop();

    std::shared_ptr<Clock> clock_;
    VirtualClock* virtualClock_ = nullptr;
    std::shared_ptr<LogRouter> logRouter_;
    std::shared_ptr<CaptureLogSink> logCapture_;
    std::shared_ptr<RunLoop> runLoop_;
    std::unique_ptr<NotificationCenter> notificationCenter_;
    std::shared_ptr<UserDefaults> userDefaults_;
    Desktop desktop_;
    Bundle mainBundle_ = Bundle::program();
    // In the order they were made.
    std::vector<ServiceEntry> services_;
};

// The installed platform. Stops the program with a fixed message when none is installed.
Platform& platform();

template <class T>
const std::shared_ptr<T>& Platform::service() {
    if constexpr (requires { T::makeShared(); }) {
        return service<T>([] { return T::makeShared(); });
    } else {
        return service<T>([] { return std::make_shared<T>(); });
    }
}

template <class T, class Make>
const std::shared_ptr<T>& Platform::service(Make&& make) {
    const ServiceEntry* entry = findService(typeid(T));
    if (!entry) {
        // Made before it is entered, so that the services its making asks for are older than it
        // and outlive it.
        auto holder = std::make_shared<std::shared_ptr<T>>(make());
        entry = &addService(typeid(T), std::move(holder));
    }
    return *static_cast<const std::shared_ptr<T>*>(entry->holder.get());
}

template <class T>
T* Platform::existingService() const {
    const ServiceEntry* entry = findService(typeid(T));
    return entry ? static_cast<const std::shared_ptr<T>*>(entry->holder.get())->get() : nullptr;
}

}  // namespace talvori
