#pragma once

#include <memory>
#include <optional>

#include "platform/core/Time.hpp"

struct xcb_key_press_event_t;

namespace talvori {
class Platform;
}

namespace talvori::freedesktop {
class AccessibilityStatus;
class AtspiBridge;
class SessionBus;
}  // namespace talvori::freedesktop

namespace talvori::x11 {

class X11Accessibility;
class X11Application;
class X11ClientWindows;
class X11ColorSampler;
class X11Connection;
class X11DisplayServer;
class X11EventRouter;
class X11FocusWatch;
class X11HotKeyService;
class X11Input;
class X11Keyboard;
class X11Pasteboard;
class X11Screens;
class X11StatusBar;
class X11TrafficPacer;
class X11Workspace;

// The real desktop over an X server: connects, makes every desktop service over the connection
// and installs them into the platform, which keeps this object alive.
class X11Desktop {
  public:
    // Installs the X11 desktop into `platform` (real time) when the X server at `display` (null:
    // $DISPLAY) is reachable; null, installing nothing, when it is not.
    static std::shared_ptr<X11Desktop> install(Platform& platform, const char* display = nullptr);
    ~X11Desktop();

    X11Connection& connection() const { return *connection_; }
    X11Application& application() const { return *application_; }
    X11Screens& screens() const { return *screens_; }
    X11ClientWindows& clients() const { return *clients_; }
    X11Keyboard& keyboard() const { return *keyboard_; }
    X11HotKeyService& hotKeys() const { return *hotKeys_; }
    // Null without a session bus.
    const std::shared_ptr<freedesktop::SessionBus>& sessionBus() const { return sessionBus_; }
    freedesktop::AtspiBridge& accessibilityBridge() const { return *atspi_; }
    // Copied text outlives us where a clipboard manager takes it. At quit, once what the user
    // changed is on disk: the manager may take up to 2 s.
    void handOverClipboard() const;

  private:
    X11Desktop();
    // Which service hears which event, made once the services exist.
    void subscribe();
    void subscribeFirst(X11EventRouter& router);
    void subscribeRest(X11EventRouter& router);
    void handleEvent(const void* event);
    // Where every event but the global shortcuts and the keys readers take goes.
    void dispatch(const void* event);
    // Whether the global shortcuts or a reader take the key press or release `event` (it comes
    // back through dispatch when a reader lets it go).
    bool takeKey(const xcb_key_press_event_t& key);
    bool offerToReaders(const void* event, bool down);
    void afterEvents();
    bool endsGathering(const void* event) const;
    // Whether something follows other programs' windows as they change: their traffic is then
    // read as it comes.
    bool wantsTrafficAtOnce() const;
    void noteFrameChange(const void* event);
    void gatherFrameRuns();

    // A window manager that restacks or moves other programs' windows one request at a time
    // (xfwm4 raising a window restacks every frame) sends a run of small bursts: once two come
    // within `kFrameRunGap` seconds, the rest of the run is read every `kFrameRunRead` seconds.
    static constexpr double kFrameRunRead = 0.001;
    static constexpr double kFrameRunGap = 0.002;

    // Whether the batch being read moved or restacked other programs' frames, and whether it
    // told anything else (a batch of replies alone tells neither).
    bool batchMovedFrames_ = false;
    bool batchToldMore_ = false;
    std::optional<Nanoseconds> lastFramesBatch_;

    // Declared first so that it goes last: every service still talks to the server as it goes.
    std::shared_ptr<X11Connection> connection_;
    std::shared_ptr<X11Screens> screens_;
    std::shared_ptr<X11ClientWindows> clients_;
    std::shared_ptr<X11Keyboard> keyboard_;
    std::shared_ptr<X11Application> application_;
    std::shared_ptr<X11Input> input_;
    std::shared_ptr<X11Accessibility> accessibility_;
    std::shared_ptr<X11Workspace> workspace_;
    std::shared_ptr<X11HotKeyService> hotKeys_;
    // Null when the server could not be reached a second time.
    std::shared_ptr<X11FocusWatch> focusWatch_;
    std::unique_ptr<X11TrafficPacer> pacer_;
    // Null without a session bus.
    std::shared_ptr<freedesktop::SessionBus> sessionBus_;
    std::shared_ptr<freedesktop::AccessibilityStatus> accessibilityStatus_;
    std::shared_ptr<X11DisplayServer> displayServer_;
    std::shared_ptr<freedesktop::AtspiBridge> atspi_;
    std::shared_ptr<X11StatusBar> statusBar_;
    std::shared_ptr<X11ColorSampler> colorSampler_;
    std::weak_ptr<X11Pasteboard> pasteboard_;
    // What keeps the desktop's state, the colour sampler's grab and the keys' first takers hear
    // an event before the rest, which hears it unless one of them took it.
    std::unique_ptr<X11EventRouter> first_;
    std::unique_ptr<X11EventRouter> rest_;
};

}  // namespace talvori::x11
