#include "covers/OverlayPanel.hpp"

#include <algorithm>

#include "platform/Platform.hpp"
#include "platform/desktop/StyleMask.hpp"
#include "platform/desktop/WindowLevel.hpp"

namespace talvori {

namespace {

using Flags = ModifierFlags;

// Only the ASCII digits count: other numerals would give surprising opacities.
std::optional<int> singleDigit(const std::string& characters) {
    if (characters.size() != 1) return std::nullopt;
    const char character = characters.front();
    if (character < '0' || character > '9') return std::nullopt;
    return character - '0';
}

std::optional<Point> arrowDirection(SpecialKey key) {
    switch (key) {
        case SpecialKey::leftArrow:
            return Point{-1, 0};
        case SpecialKey::rightArrow:
            return Point{1, 0};
        case SpecialKey::upArrow:
            return Point{0, 1};
        case SpecialKey::downArrow:
            return Point{0, -1};
        default:
            return std::nullopt;
    }
}

Point mouseLocation() {
    return platform().input().mouseLocation();
}

template <class Callback, class... Args>
void report(const Callback& callback, Args&&... args) {
    if (callback) callback(std::forward<Args>(args)...);
}

}  // namespace

std::shared_ptr<OverlayPanel> OverlayPanel::make(const Rect& contentRect) {
    // Whatever style a caller might want, a cover is borderless and never activates us.
    auto window = platform().application().makePanel(contentRect, StyleMask::nonactivatingPanel);
    std::shared_ptr<OverlayPanel> panel(new OverlayPanel(std::move(window)));
    panel->configureWindow();
    return panel;
}

void OverlayPanel::configureWindow() {
    window_->setLevel(WindowLevel::floating);
    window_->setCollectionBehavior(kCollectionBehavior);
    window_->setOpaque(false);
    window_->setBackgroundColor(Color::clear());
    // All of a cover is content, whatever its opacity: where nothing blends it shows opaque rather
    // than vanishing below half opacity.
    window_->setShapedToContent(false);
    window_->setMovableByWindowBackground(false);
    window_->setHidesOnDeactivate(false);
    window_->setRestorable(false);
    window_->setMinSize(kMinSize);
    // Key events reach a clicked cover without activating the application.
    window_->setCanBecomeKey(true);
    window_->setCanBecomeMain(false);
    window_->setEventHandler(weak_from_this());
}

void OverlayPanel::zoom() {
    if (!isLocked) window_->zoom();
}

std::optional<ResizeHandle> OverlayPanel::handleAt(Point point) const {
    return ResizeHandle::hitTest(point, bounds());
}

// ---- Mouse

void OverlayPanel::mouseEntered(Panel&, const Event&) {
    report(onHandlesVisibilityChange, true);
}

void OverlayPanel::mouseExited(Panel&, const Event&) {
    if (isDraggingHandle_ || isDraggingWindow_) return;
    report(onHandlesVisibilityChange, false);
    report(onHandleHoverChange, std::nullopt);
}

void OverlayPanel::mouseMoved(Panel&, const Event& event) {
    const auto handle = handleAt(event.locationInWindow);
    report(onHandleHoverChange, handle);
    platform().input().setCursor(handle && !isLocked ? ResizeHandle::cursor(*handle)
                                                     : Cursor::arrow());
}

bool OverlayPanel::mouseDown(Panel&, const Event& event) {
    if (event.type != EventType::leftMouseDown) return false;
    // A locked cover swallows the click: it neither moves nor resizes.
    if (isLocked) return true;
    if (const auto handle = handleAt(event.locationInWindow)) {
        isDraggingHandle_ = true;
        report(onResizeStart, *handle, mouseLocation());
        return true;
    }
    isDraggingWindow_ = true;
    dragInitialMouseLocation_ = mouseLocation();
    dragInitialWindowOrigin_ = window_->frame().origin;
    report(onDragStart);
    return true;
}

bool OverlayPanel::mouseDragged(Panel&, const Event& event) {
    if (event.type != EventType::leftMouseDragged) return false;
    if (isDraggingHandle_) {
        report(onResizeDrag, mouseLocation());
        return true;
    }
    if (isDraggingWindow_) {
        const Point location = mouseLocation();
        // A move keeps the picture: only what the move changes in it (the readout) is drawn.
        window_->setFrame({{dragInitialWindowOrigin_.x + location.x - dragInitialMouseLocation_.x,
                            dragInitialWindowOrigin_.y + location.y - dragInitialMouseLocation_.y},
                           window_->frame().size},
                          false);
        return true;
    }
    return false;
}

bool OverlayPanel::mouseUp(Panel&, const Event& event) {
    if (event.type != EventType::leftMouseUp) return false;
    if (isDraggingHandle_) {
        isDraggingHandle_ = false;
        report(onResizeEnd);
        endDragHover(event, true);
        return true;
    }
    if (isDraggingWindow_) {
        isDraggingWindow_ = false;
        report(onDragEnd);
        endDragHover(event, false);
        return true;
    }
    return false;
}

// The exit that came while the drag ran was ignored; a drag that ends with the pointer outside the
// cover must still hide the handles, or they would stay until the pointer passes over it again.
void OverlayPanel::endDragHover(const Event& event, bool readHandle) {
    if (!bounds().contains(event.locationInWindow)) {
        report(onHandlesVisibilityChange, false);
        report(onHandleHoverChange, std::nullopt);
    } else if (readHandle) {
        report(onHandleHoverChange, handleAt(event.locationInWindow));
    }
}

// ---- Keys

bool OverlayPanel::keyDown(Panel&, const Event& event) {
    const std::uint64_t flags = event.deviceIndependentFlags();
    const std::string& characters = event.charactersIgnoringModifiers;
    if ((flags & ~Flags::shift) == 0) {
        if (const auto digit = singleDigit(characters)) {
            handleOpacityDigit(*digit);
            return true;
        }
    }
    if (event.specialKey && handleArrowKey(*event.specialKey, flags)) return true;
    if ((flags & Flags::command) == 0 || characters.empty()) return false;
    return handleCommandShortcut(characters, flags);
}

bool OverlayPanel::handleArrowKey(SpecialKey key, std::uint64_t flags) {
    const auto direction = arrowDirection(key);
    if (!direction) return false;
    // Caps Lock is a lasting state, not a modifier the user holds for this key.
    flags &= ~Flags::capsLock;
    const double step = (flags & Flags::shift) != 0 ? 10 : 1;
    if ((flags & Flags::command) != 0) {
        report(onResizeByKeyboard, step * direction->x, step * direction->y);
        return true;
    }
    if (flags == 0 || flags == Flags::shift) {
        report(onNudgeByKeyboard, step * direction->x, step * direction->y);
        return true;
    }
    return false;
}

bool OverlayPanel::handleCommandShortcut(const std::string& characters, std::uint64_t flags) {
    const bool commandOnly = flags == Flags::command;
    const bool commandShift = flags == (Flags::command | Flags::shift);
    if (characters == "0" && commandOnly) {
        report(onResetSize);
    } else if ((characters == "c" || characters == "C") && commandShift) {
        report(onCenterOnScreen);
    } else if ((characters == "f" || characters == "F") && commandShift) {
        report(onFillScreen);
    } else if (characters == "=" || characters == "+") {
        report(onScale, 1.1);
    } else if (characters == "-") {
        report(onScale, 0.9);
    } else {
        return false;
    }
    return true;
}

void OverlayPanel::handleOpacityDigit(int digit) {
    const double now = platform().clock().date();
    if (lastDigit_ && lastKeyTime_ && now - *lastKeyTime_ < comboTimeout) {
        report(onOpacityChange, std::min((10.0 * *lastDigit_ + digit) / 100.0, 1.0));
        lastDigit_.reset();
        lastKeyTime_.reset();
        return;
    }
    report(onOpacityChange, digit == 0 ? 1.0 : digit / 10.0);
    lastDigit_ = digit;
    lastKeyTime_ = now;
}

}  // namespace talvori
