#include "platform/desktop/Alerts.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/core/weakly.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/Screens.hpp"

namespace talvori {

Alerts::~Alerts() {
    // An alert somebody still holds may be answered after the service has gone.
    for (const auto& alert : shown_) alert->onEnd = nullptr;
}

void Alerts::beginSheetModal(Alert alert, const std::shared_ptr<Panel>& window,
                             Completion completion) {
    auto application = services_.application.lock();
    auto screens = services_.screens.lock();
    if (!application || !screens) {
        std::fprintf(stderr, "Talvori: an alert needs the desktop it belongs to\n");
        std::abort();
    }
    const AlertWindow::Services services{*application, *screens, services_.notificationCenter,
                                         services_.loop, services_.windowTitle};
    auto shown =
        AlertWindow::show(services, std::move(alert), window, contentMaker_, std::move(completion));
    shown->onEnd = weakly(std::weak_ptr<AlertWindow>(shown), [this](AlertWindow& ended) {
        std::erase_if(shown_, [&](const auto& alert) { return alert.get() == &ended; });
    });
    shown_.push_back(shown);
    alertDidShow(shown);
}

Task::ContinuationAwaiter<long> Alerts::present(Alert alert, std::shared_ptr<Panel> window) {
    return Task::withContinuation<long>([this, alert = std::move(alert),
                                         window = std::move(window)](Continuation<long> resume) {
        beginSheetModal(alert, window,
                        [resume = std::move(resume)](long response) { resume.resume(response); });
    });
}

std::vector<std::shared_ptr<AlertWindow>> Alerts::visibleAlerts() const {
    return shown_;
}

}  // namespace talvori
