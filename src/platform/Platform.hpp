#pragma once

#include <memory>
#include <string>

#include "platform/core/CaptureLogSink.hpp"
#include "platform/core/Clock.hpp"
#include "platform/core/Logger.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/UserDefaults.hpp"

namespace talvori {

// The services the program asks of the operating system, installed once at program start (and
// freshly by each test). Code reaches them through platform().
class Platform {
  public:
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

    // Installs `platform` as the one platform() returns; replaces (and destroys) any earlier one.
    static void install(std::unique_ptr<Platform> platform);
    static void uninstall();
    static bool isInstalled();

  private:
    Platform(std::shared_ptr<Clock> clock, std::shared_ptr<LogRouter> router);

    std::shared_ptr<Clock> clock_;
    VirtualClock* virtualClock_ = nullptr;
    std::shared_ptr<LogRouter> logRouter_;
    std::shared_ptr<CaptureLogSink> logCapture_;
    std::shared_ptr<RunLoop> runLoop_;
    std::unique_ptr<NotificationCenter> notificationCenter_;
    std::shared_ptr<UserDefaults> userDefaults_;
};

// The installed platform. Stops the program with a fixed message when none is installed.
Platform& platform();

}  // namespace talvori
