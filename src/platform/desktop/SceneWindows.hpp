#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Registration.hpp"
#include "platform/desktop/SceneDescription.hpp"
#include "platform/desktop/Screen.hpp"

namespace talvori {

class Application;
class ApplicationDelegate;
class NotificationCenter;
class Panel;
class RunLoop;
class WindowEventHandler;

// The application's scene windows on whichever desktop shows them: each made when its scene
// opens (at its content's size, or a fixed one, centred on the first screen), kept as large as
// its content, and once the last of them has closed the delegate decides whether the application
// ends. Main thread only.
class SceneWindows : public std::enable_shared_from_this<SceneWindows> {
  public:
    static constexpr Size kDefaultSize{480, 320};

    // What differs between desktops.
    struct Desktop {
        // The screens, the main one first.
        std::function<std::vector<Screen>()> screens;
        std::function<std::shared_ptr<ApplicationDelegate>()> delegate;
        // Readies a new window, its content already in place; optional.
        std::function<void(Panel& window, const SceneDescription& scene)> prepare;
        // A scene window is about to close; optional.
        std::function<void(const std::string& identifier)> willClose;
    };

    // `application` makes the windows and ends the program; it owns what it is given here.
    static std::shared_ptr<SceneWindows> make(Application& application, NotificationCenter& center,
                                              RunLoop& loop, Desktop desktop);

    void registerScene(SceneDescription scene);
    bool contains(const std::string& identifier) const;
    // The scene's open window, or a new one; null for an unknown scene.
    std::shared_ptr<Panel> open(const std::string& identifier);
    // The scene's window while it is open.
    std::shared_ptr<Panel> window(const std::string& identifier) const;
    // The window last made for the scene, open or closed; none before the scene first opened.
    std::shared_ptr<Panel> lastWindow(const std::string& identifier) const;
    // Gives the open window of a scene sized to its content its content's size, its top-left
    // corner kept unless that would take it off its screen.
    void fitToContent(const std::string& identifier);
    // The same for every such window that `wants` picks.
    void fitToContent(const std::function<bool(const Panel& window)>& wants);

  private:
    struct Scene {
        SceneDescription description;
        std::shared_ptr<Panel> window;
        Registration closeObserver;
        std::shared_ptr<WindowEventHandler> keys;
    };

    SceneWindows(Application& application, NotificationCenter& center, RunLoop& loop,
                 Desktop desktop);
    std::shared_ptr<Panel> makeWindow(Scene& scene);
    void windowClosed();
    bool hasOpenWindow() const;

    Application& application_;
    NotificationCenter& center_;
    RunLoop& loop_;
    Desktop desktop_;
    std::map<std::string, Scene> scenes_;
};

}  // namespace talvori
