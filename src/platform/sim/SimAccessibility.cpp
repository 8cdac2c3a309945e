#include "platform/sim/SimAccessibility.hpp"

#include "platform/desktop/Screens.hpp"
#include "platform/sim/SimAXObserver.hpp"
#include "platform/sim/SimPanel.hpp"
#include "platform/sim/SimWorld.hpp"

namespace talvori::sim {

bool SimAccessibility::isProcessTrusted() const {
    return world_->isAccessibilityTrusted();
}

void SimAccessibility::promptForTrust() {
    ++prompts_;
    world_->log("accessibility trust prompt");
}

void SimAccessibility::setTrusted(bool trusted) {
    world_->setAccessibilityTrusted(trusted);
}

AXElement SimAccessibility::systemWideElement() const {
    return {AXElement::Kind::systemWide, 0, 0};
}

AXElement SimAccessibility::applicationElement(std::int32_t pid) const {
    return {AXElement::Kind::application, pid, 0};
}

AXElement SimAccessibility::windowElement(std::int32_t pid, std::uint32_t number) const {
    return {AXElement::Kind::window, pid, number};
}

void SimAccessibility::injectError(const AXElement& element, const std::string& attribute,
                                   AXError error) {
    errors_[{element, attribute}] = error;
}

void SimAccessibility::clearError(const AXElement& element, const std::string& attribute) {
    errors_.erase({element, attribute});
}

void SimAccessibility::failWindowNumber(const AXElement& element, bool fails) {
    if (fails) {
        windowNumberFailures_.insert(element);
    } else {
        windowNumberFailures_.erase(element);
    }
}

AXResult<AXValue> SimAccessibility::copyAttributeValue(const AXElement& element,
                                                       std::string_view attribute) const {
    using Result = AXResult<AXValue>;
    if (!world_->isAccessibilityTrusted()) return Result::failure(AXError::apiDisabled);
    if (auto injected = errors_.find({element, std::string(attribute)});
        injected != errors_.end()) {
        return Result::failure(injected->second);
    }
    switch (element.kind) {
        case AXElement::Kind::systemWide:
            return readSystemWide(attribute);
        case AXElement::Kind::application:
            return readApplication(element, attribute);
        case AXElement::Kind::window:
            return readWindow(element, attribute);
    }
    return Result::failure(AXError::illegalArgument);
}

AXResult<AXValue> SimAccessibility::readSystemWide(std::string_view attribute) const {
    using Result = AXResult<AXValue>;
    if (attribute != AXAttribute::focusedApplication) {
        return Result::failure(AXError::attributeUnsupported);
    }
    const auto pid = world_->accessibilityFocusedPID();
    if (!pid || !world_->process(*pid)) return Result::failure(AXError::noValue);
    return Result::success(applicationElement(*pid));
}

AXResult<AXValue> SimAccessibility::readApplication(const AXElement& element,
                                                    std::string_view attribute) const {
    using Result = AXResult<AXValue>;
    const SimProcess* process = world_->process(element.pid);
    if (!process) return Result::failure(AXError::invalidUIElement);
    if (!process->isAccessible) return Result::failure(AXError::cannotComplete);
    if (attribute == AXAttribute::focusedWindow || attribute == AXAttribute::mainWindow) {
        const std::uint32_t focused =
            element.pid == SimWorld::kOwnPID ? world_->keyWindowNumber() : process->focusedWindow;
        if (focused == 0) return Result::failure(AXError::noValue);
        return Result::success(windowElement(element.pid, focused));
    }
    if (attribute == AXAttribute::windows) {
        std::vector<AXElement> windows;
        for (std::uint32_t number : world_->stack()) {
            const SimWindow* window = world_->window(number);
            if (window->ownerPID == element.pid && !window->isStatusItem) {
                windows.push_back(windowElement(element.pid, number));
            }
        }
        return Result::success(std::move(windows));
    }
    if (attribute == AXAttribute::title) {
        if (!process->localizedName) return Result::failure(AXError::noValue);
        return Result::success(*process->localizedName);
    }
    return Result::failure(AXError::attributeUnsupported);
}

AXResult<AXValue> SimAccessibility::readWindow(const AXElement& element,
                                               std::string_view attribute) const {
    using Result = AXResult<AXValue>;
    const SimWindow* window = world_->window(static_cast<std::uint32_t>(element.identifier));
    if (!window || window->ownerPID != element.pid) {
        return Result::failure(AXError::invalidUIElement);
    }
    const SimProcess* process = world_->process(element.pid);
    if (process && !process->isAccessible) return Result::failure(AXError::cannotComplete);
    const Rect topLeft = Screens::flipped(world_->frameOf(*window), world_->primaryHeight());
    if (attribute == AXAttribute::position) return Result::success(topLeft.origin);
    if (attribute == AXAttribute::size) return Result::success(topLeft.size);
    if (attribute == AXAttribute::title) return Result::success(world_->titleOf(*window));
    return Result::failure(AXError::attributeUnsupported);
}

AXResult<std::int32_t> SimAccessibility::pid(const AXElement& element) const {
    using Result = AXResult<std::int32_t>;
    if (element.kind == AXElement::Kind::systemWide)
        return Result::failure(AXError::illegalArgument);
    if (!world_->process(element.pid)) return Result::failure(AXError::invalidUIElement);
    return Result::success(element.pid);
}

AXResult<std::uint32_t> SimAccessibility::windowNumber(const AXElement& element) const {
    using Result = AXResult<std::uint32_t>;
    if (windowNumberUnavailable_) return Result::failure(AXError::notImplemented);
    if (!world_->isAccessibilityTrusted()) return Result::failure(AXError::apiDisabled);
    if (element.kind != AXElement::Kind::window) return Result::failure(AXError::illegalArgument);
    if (windowNumberFailures_.contains(element)) return Result::failure(AXError::failure);
    const SimWindow* window = world_->window(static_cast<std::uint32_t>(element.identifier));
    if (!window || window->ownerPID != element.pid) {
        return Result::failure(AXError::invalidUIElement);
    }
    return Result::success(window->number);
}

AXResult<std::shared_ptr<AXObserver>> SimAccessibility::createObserver(
    std::int32_t pid, AXObserver::Callback callback) {
    using Result = AXResult<std::shared_ptr<AXObserver>>;
    if (!world_->isAccessibilityTrusted()) return Result::failure(AXError::apiDisabled);
    const SimProcess* process = world_->process(pid);
    if (!process) return Result::failure(AXError::illegalArgument);
    if (refusesObservers_ || process->refusesObservers || !process->isAccessible) {
        return Result::failure(AXError::cannotComplete);
    }
    auto observer = std::make_shared<SimAXObserver>(pid, std::move(callback), world_);
    world_->addObserver(observer);
    ++observersCreated_;
    return Result::success(observer);
}

}  // namespace talvori::sim
