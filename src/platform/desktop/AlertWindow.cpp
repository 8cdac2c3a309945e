#include "platform/desktop/AlertWindow.hpp"

#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/Panel.hpp"
#include "platform/desktop/Screens.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {

namespace {

// A window without drawn content still needs room for its title bar and a close look.
constexpr Size kBareSize{420, 120};

bool hasVisibleTitleBar(const Panel& panel) {
    return (panel.styleMask() & StyleMask::titled) != 0 &&
           (panel.styleMask() & StyleMask::fullSizeContentView) == 0;
}

}  // namespace

std::shared_ptr<AlertWindow> AlertWindow::show(const Services& services, Alert alert,
                                               const std::shared_ptr<Panel>& parent,
                                               const ContentMaker& makeContent,
                                               Completion completion) {
    std::shared_ptr<AlertWindow> self(
        new AlertWindow(std::move(alert), services.loop, std::move(completion)));
    const std::weak_ptr<AlertWindow> weak = self;
    auto content =
        makeContent ? makeContent(self->alert_, weakly(weak, &AlertWindow::respond)) : nullptr;
    const Size size = content ? content->fittingSize() : kBareSize;
    self->window_ = services.application.makePanel(Rect({0, 0}, size), StyleMask::titled);
    auto& window = *self->window_;
    window.setTitle(services.windowTitle);
    window.setAccessibilityLabel(self->alert_.messageText);
    window.setRestorable(false);
    window.setHostedContent(std::move(content));
    window.setEventHandler(self);
    self->place(services, parent && !parent->isClosed() ? parent : nullptr);

    // Closing the alert's window, or the window it is a sheet on, ends it without a button.
    self->windowCloseObserver_ = services.notificationCenter.addObserver(
        Panel::kWillCloseNotification, self->window_.get(), NotificationDelivery::synchronous,
        weakly(weak, [](AlertWindow& strong) { strong.end(Alert::kStopResponse, false); }));
    if (auto owner = self->parent()) {
        self->parentCloseObserver_ = services.notificationCenter.addObserver(
            Panel::kWillCloseNotification, owner.get(), NotificationDelivery::synchronous,
            weakly(weak, [](AlertWindow& strong) { strong.respond(Alert::kStopResponse); }));
    }
    window.makeKeyAndOrderFront();
    return self;
}

AlertWindow::~AlertWindow() {
    for (const auto& weak : blocked_) {
        if (auto panel = weak.lock(); panel && panel->blockingWindow() == window_) {
            panel->setBlockingWindow({});
        }
    }
}

void AlertWindow::place(const Services& services, const std::shared_ptr<Panel>& parent) {
    Panel& window = *window_;
    const Size size = window.frame().size;
    if (parent) {
        // A sheet hangs from the parent's title bar, centred on it.
        isSheet_ = true;
        parent_ = parent;
        parentWasKey_ = parent->isKeyWindow();
        const Rect frame = parent->frame();
        const double top =
            frame.maxY() -
            (hasVisibleTitleBar(*parent) ? services.application.titleBarOverlap() : 0);
        window.setFrame({frame.midX() - size.width / 2, top - size.height, size.width, size.height},
                        false);
        window.setLevel(parent->level());
        block({parent});
        return;
    }
    // A dialog on its own stands above every normal window, in the upper part of the main screen.
    const auto screen = services.screens.mainScreen();
    const Rect visible = screen ? screen->visibleFrame : Rect({0, 0}, size);
    const double centreY = visible.minY() + visible.height() * 2 / 3;
    window.setFrame(
        {visible.midX() - size.width / 2, centreY - size.height / 2, size.width, size.height},
        false);
    window.setLevel(WindowLevel::modalPanel);
    auto others = services.application.windows();
    std::erase(others, window_);
    block(others);
}

void AlertWindow::block(const std::vector<std::shared_ptr<Panel>>& windows) {
    for (const auto& panel : windows) {
        if (panel->blockingWindow()) continue;
        panel->setBlockingWindow(window_);
        blocked_.push_back(panel);
    }
}

void AlertWindow::respond(long response) {
    end(response, true);
}

void AlertWindow::end(long response, bool closeWindow) {
    if (answered_) return;
    answered_ = true;
    auto self = shared_from_this();
    parentCloseObserver_.reset();
    windowCloseObserver_.reset();
    for (const auto& weak : blocked_) {
        if (auto panel = weak.lock(); panel && panel->blockingWindow() == window_) {
            panel->setBlockingWindow({});
        }
    }
    blocked_.clear();
    const bool wasKey = window_->isKeyWindow();
    window_->setEventHandler({});
    if (closeWindow) window_->close();
    if (auto owner = parent(); owner && wasKey && parentWasKey_ && !owner->isClosed()) {
        owner->makeKey();
    }
    if (onEnd) onEnd(response);
    auto loop = loop_.lock();
    if (!loop || !completion_) return;
    loop->post([completion = std::move(completion_), response] { completion(response); });
}

bool AlertWindow::keyDown(Panel&, const Event& event) {
    if (event.deviceIndependentFlags() != 0 || !event.specialKey) return false;
    switch (*event.specialKey) {
        case SpecialKey::carriageReturn:
        case SpecialKey::enter:
            pressButton(alert_.defaultButton());
            return true;
        case SpecialKey::escape:
            if (const auto cancel = alert_.cancelButton()) pressButton(*cancel);
            return true;
        default:
            return false;
    }
}

}  // namespace talvori
