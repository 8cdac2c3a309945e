#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/core/Observation.hpp"
#include "platform/desktop/ActivationPolicy.hpp"
#include "platform/desktop/ApplicationDelegate.hpp"
#include "platform/desktop/Menu.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/SceneDescription.hpp"
#include "platform/desktop/StyleMask.hpp"

namespace talvori {

// Our own application: its activation, its windows and its life.
class Application {
  public:
    // Posted on the platform's notification center, without a sender, on a later turn.
    static constexpr const char* kDidBecomeActiveNotification = "ApplicationDidBecomeActive";
    static constexpr const char* kDidResignActiveNotification = "ApplicationDidResignActive";

    virtual ~Application() = default;

    virtual ActivationPolicy activationPolicy() const = 0;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    virtual bool isActive() const = 0;
    // Brings the application and its windows to the front.
    virtual void activate() = 0;
    // Bounces for attention (critical: until the user comes); returns the request's number.
    virtual int requestUserAttention(bool critical) = 0;
    // Ends the program; the simulation only records it.
    virtual void terminate() = 0;

    virtual void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) = 0;
    // Tells the delegate, on a later turn, that launching finished.
    virtual void finishLaunching() = 0;
    // Tells the delegate, on a later turn, that the program was started again.
    virtual void reopen() = 0;

    // A new window of ours with its content rectangle in the global space. Borderless panels have
    // no title bar; a titled window's content also fills its frame (the title bar is drawn over
    // it). Level normal, visible only once ordered front.
    virtual std::shared_ptr<Panel> makePanel(const Rect& contentRect, unsigned styleMask) = 0;
    virtual std::shared_ptr<Panel> keyWindow() const = 0;
    // Our open windows, front to back.
    virtual std::vector<std::shared_ptr<Panel>> windows() const = 0;

    // Scenes: declared once, opened and dismissed by identifier. Opening an open scene brings its
    // window forward; dismissing a closed one does nothing.
    virtual void registerScene(SceneDescription scene) = 0;
    virtual void openWindow(const std::string& sceneIdentifier) = 0;
    virtual void dismissWindow(const std::string& sceneIdentifier) = 0;
    virtual std::shared_ptr<Panel> sceneWindow(const std::string& sceneIdentifier) const = 0;

    // The menu bar's menu of the application. The desktops this program runs on keep no menu bar
    // for it, so there is none; code that searches it finds nothing.
    virtual std::shared_ptr<Menu> mainMenu() const { return nullptr; }

    // How much of a titled window's content its title bar covers: a desktop that draws the bar
    // inside the window's frame covers the top of the content, a window manager that decorates
    // outside the window covers none of it. Content that must stay uncovered starts below it.
    virtual double titleBarOverlap() const { return 0; }

    // What the desktop does with our translucent windows; both can change while the program runs
    // (a compositing manager starts or ends). A view that reads one is drawn again when it
    // changes; other code observes it.
    // Whether translucent windows blend with what lies behind them; where they do not, they show
    // their colours over black.
    virtual const Observable<bool>& isCompositing() const = 0;
    // Whether the desktop blurs what lies behind a window that asks for it (its background blur
    // radius).
    virtual const Observable<bool>& blursBehindWindows() const = 0;
    // Whether that blur has a strength of the desktop's own, which no radius changes: a window
    // then has it or not.
    virtual bool blursAtItsOwnStrength() const { return false; }
};

}  // namespace talvori
