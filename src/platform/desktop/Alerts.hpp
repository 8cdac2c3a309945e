#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/core/Task.hpp"
#include "platform/desktop/Alert.hpp"
#include "platform/desktop/AlertWindow.hpp"

namespace talvori {

// Shows alerts. The run loop never nests: an alert is asynchronous and answers through its
// completion, or through the task that awaits it, so what a modal run would do after the alert
// is done once the answer arrives:
//
//     Task::start(loop, [weak]() -> Async {
//         const long response = co_await platform().alerts().present(alert, window);
//         if (response == Alert::kSecondButtonReturn) ...
//     });
//
// The view layer installs how an alert looks (setContentMaker); without it the window is bare.
class Alerts {
  public:
    using Completion = AlertWindow::Completion;
    using ContentMaker = AlertWindow::ContentMaker;

    // The services an alert window needs; each is held weakly, as they all belong to the same
    // desktop.
    struct Services {
        std::weak_ptr<Application> application;
        std::weak_ptr<Screens> screens;
        NotificationCenter& notificationCenter;
        std::weak_ptr<RunLoop> loop;
        // The title of every alert window: the program's name.
        std::string windowTitle;
    };

    explicit Alerts(Services services) : services_(std::move(services)) {}
    virtual ~Alerts();
    Alerts(const Alerts&) = delete;
    Alerts& operator=(const Alerts&) = delete;

    // A sheet on `window`, which takes no input until the answer; with no window (or a closed
    // one) the alert is application-modal instead. `completion` runs once, on a later turn after
    // the alert's window closed.
    void beginSheetModal(Alert alert, const std::shared_ptr<Panel>& window, Completion completion);
    // On its own, above our other windows, none of which takes input until the answer.
    void runModal(Alert alert, Completion completion) {
        beginSheetModal(std::move(alert), nullptr, std::move(completion));
    }
    // Awaited in a task: resolves to the response.
    Task::ContinuationAwaiter<long> present(Alert alert, std::shared_ptr<Panel> window);

    void setContentMaker(ContentMaker maker) { contentMaker_ = std::move(maker); }
    bool hasContentMaker() const { return contentMaker_ != nullptr; }
    // Alerts waiting for their answer, oldest first.
    std::vector<std::shared_ptr<AlertWindow>> visibleAlerts() const;

  protected:
    // Each alert as it comes up; the simulation records and may answer it.
    virtual void alertDidShow(const std::shared_ptr<AlertWindow>& /*alert*/) {}

  private:
    Services services_;
    ContentMaker contentMaker_;
    std::vector<std::shared_ptr<AlertWindow>> shown_;
};

}  // namespace talvori
