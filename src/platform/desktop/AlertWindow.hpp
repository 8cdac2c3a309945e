#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/NotificationCenter.hpp"
#include "platform/desktop/Alert.hpp"
#include "platform/desktop/HostedContent.hpp"
#include "platform/desktop/WindowEventHandler.hpp"

namespace talvori {

class Application;
class Panel;
class RunLoop;
class Screens;

// One alert on screen: its window, either a sheet on one of our windows (which takes no input
// meanwhile) or an application-modal dialog (every other window of ours takes none), and the one
// answer it gives. Return presses the default button and Escape the cancel button, whatever the
// content does with other keys.
class AlertWindow final : public WindowEventHandler,
                          public std::enable_shared_from_this<AlertWindow> {
  public:
    using Completion = std::function<void(long response)>;
    // Makes the drawn content of an alert; `respond` ends the alert with a button's response.
    using ContentMaker = std::function<std::shared_ptr<HostedContent>(
        const Alert& alert, std::function<void(long response)> respond)>;

    struct Services {
        Application& application;
        Screens& screens;
        NotificationCenter& notificationCenter;
        std::weak_ptr<RunLoop> loop;
        const std::string& windowTitle;
    };

    // Shows `alert` at once; `parent` null (or closed) makes it application-modal. `completion`
    // runs once, on a later turn, after the window has closed.
    static std::shared_ptr<AlertWindow> show(const Services& services, Alert alert,
                                             const std::shared_ptr<Panel>& parent,
                                             const ContentMaker& makeContent,
                                             Completion completion);
    ~AlertWindow() override;

    const Alert& alert() const { return alert_; }
    const std::shared_ptr<Panel>& window() const { return window_; }
    std::shared_ptr<Panel> parent() const { return parent_.lock(); }
    bool isSheet() const { return isSheet_; }
    // Until the alert has its answer.
    bool isShown() const { return !answered_; }
    // Ends the alert: the window closes, the blocked windows take input again, and the completion
    // follows on a later turn. Only the first answer counts.
    void respond(long response);
    // As a click on the button: its response.
    void pressButton(std::size_t index) { respond(Alert::responseForButton(index)); }
    // Called once the answer has been given, before the completion.
    std::function<void(long response)> onEnd;

    bool keyDown(Panel& panel, const Event& event) override;

  private:
    AlertWindow(Alert alert, std::weak_ptr<RunLoop> loop, Completion completion)
        : alert_(std::move(alert)), loop_(std::move(loop)), completion_(std::move(completion)) {}
    void place(const Services& services, const std::shared_ptr<Panel>& parent);
    void block(const std::vector<std::shared_ptr<Panel>>& windows);
    // `closeWindow` false: the window is closing already.
    void end(long response, bool closeWindow);

    Alert alert_;
    std::weak_ptr<RunLoop> loop_;
    Completion completion_;
    std::shared_ptr<Panel> window_;
    std::weak_ptr<Panel> parent_;
    std::vector<std::weak_ptr<Panel>> blocked_;
    bool isSheet_ = false;
    bool answered_ = false;
    bool parentWasKey_ = false;
    Registration parentCloseObserver_;
    Registration windowCloseObserver_;
};

}  // namespace talvori
