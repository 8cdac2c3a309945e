#include "ui/PanelHost.hpp"

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Panel.hpp"

namespace talvori::ui {

namespace {

std::optional<Key> namedKey(SpecialKey key) {
    switch (key) {
        case SpecialKey::carriageReturn:
        case SpecialKey::enter:
            return Key::returnKey;
        case SpecialKey::escape:
            return Key::escape;
        case SpecialKey::backspace:
            return Key::deleteBackward;
        case SpecialKey::deleteForward:
            return Key::deleteForward;
        case SpecialKey::tab:
        case SpecialKey::backTab:
            return Key::tab;
        case SpecialKey::leftArrow:
            return Key::leftArrow;
        case SpecialKey::rightArrow:
            return Key::rightArrow;
        case SpecialKey::upArrow:
            return Key::upArrow;
        case SpecialKey::downArrow:
            return Key::downArrow;
        case SpecialKey::home:
            return Key::home;
        case SpecialKey::end:
            return Key::end;
        case SpecialKey::pageUp:
            return Key::pageUp;
        case SpecialKey::pageDown:
            return Key::pageDown;
        // The key in Insert's place is Help on the keyboards the key codes come from.
        case SpecialKey::help:
            return Key::insert;
        default:
            return std::nullopt;
    }
}

Modifiers modifiersOf(const Event& event) {
    const auto flags = event.deviceIndependentFlags();
    Modifiers modifiers = Modifiers::none;
    if (flags & ModifierFlags::shift) modifiers = modifiers | Modifiers::shift;
    if (flags & ModifierFlags::control) modifiers = modifiers | Modifiers::control;
    if (flags & ModifierFlags::option) modifiers = modifiers | Modifiers::option;
    if (flags & ModifierFlags::command) modifiers = modifiers | Modifiers::command;
    return modifiers;
}

bool isLeftButton(const Event& event) {
    return event.type == EventType::leftMouseDown || event.type == EventType::leftMouseDragged ||
           event.type == EventType::leftMouseUp;
}

}  // namespace

// Holds the panel's keyboard focus while a text field of the views has it.
class PanelHost::FieldResponder final : public Responder {
  public:
    explicit FieldResponder(std::weak_ptr<PanelHost> owner) : owner_(std::move(owner)) {}
    bool resignFirstResponder() override {
        if (auto owner = owner_.lock(); owner && !owner->movingFocus_) {
            owner->movingFocus_ = true;
            owner->host_->resignFocus();
            owner->movingFocus_ = false;
        }
        return true;
    }
    bool keyDown(const Event& event) override {
        auto owner = owner_.lock();
        return owner && owner->host_->keyDownToFocus(keyPress(event));
    }
    bool isTextEditor() const override { return true; }

  private:
    std::weak_ptr<PanelHost> owner_;
};

std::shared_ptr<PanelHost> PanelHost::make(View root, Options options) {
    auto content = std::shared_ptr<PanelHost>(new PanelHost());
    Host::Options hostOptions;
    hostOptions.textMeasurer = std::move(options.textMeasurer);
    hostOptions.reduceMotion = [] {
        return platform().workspace().accessibilityDisplayShouldReduceMotion();
    };
    content->host_ = Host::make(std::move(root), std::move(hostOptions));
    content->responder_ = std::make_shared<FieldResponder>(content);
    const std::weak_ptr<PanelHost> weak = content;
    content->host_->onNeedsDisplay = weakly(weak, &PanelHost::showChanges);
    content->host_->onLayout = weakly(weak, [](PanelHost& self, Size size) {
        if (self.onLayoutChange) self.onLayoutChange(size);
    });
    content->host_->onFocusChange = weakly(weak, &PanelHost::focusDidChange);
    content->host_->setWindowProvider(weakly(weak, &PanelHost::panel));
    // Fields of every window copy to and paste from the desktop's pasteboard.
    content->host_->setPasteboardReader([]() -> std::optional<std::string> {
        if (!platform().hasDesktop()) return std::nullopt;
        return platform().pasteboard().string();
    });
    content->host_->setPasteboardWriter([](const std::string& text) {
        if (platform().hasDesktop()) platform().pasteboard().setString(text);
    });
    content->host_->setSelectionReader([]() -> std::optional<std::string> {
        if (!platform().hasDesktop()) return std::nullopt;
        return platform().pasteboard().selectionString();
    });
    content->host_->setSelectionWriter([](const std::string& text) {
        if (platform().hasDesktop()) platform().pasteboard().setSelectionString(text);
    });
    content->host_->setKeyWindowProvider(weakly(weak, [](PanelHost& self) {
        auto panel = self.panel();
        return panel && panel->isKeyWindow();
    }));
    return content;
}

PanelHost::~PanelHost() = default;

void PanelHost::focusDidChange(bool textFieldFocused) {
    auto panel = this->panel();
    if (!panel || movingFocus_) return;
    movingFocus_ = true;
    if (textFieldFocused) {
        panel->makeFirstResponder(responder_);
    } else if (panel->firstResponder() == responder_) {
        panel->makeFirstResponder(nullptr);
    }
    movingFocus_ = false;
}

void PanelHost::showChanges() {
    // The panel copies only what changed to the screen; everything when the host cannot tell.
    if (const auto damaged = host_->pendingDamage()) {
        setNeedsDisplay(*damaged);
    } else {
        setNeedsDisplay();
    }
}

void PanelHost::draw(cairo_t* context, Size size) {
    if (host_->size() != size) {
        host_->setProposedSize(size);
        host_->updateNow();
    }
    host_->draw(context);
}

Size PanelHost::fittingSize() {
    return host_->fittingSize();
}

bool PanelHost::mouseDown(const Event& event, Point location) {
    if (event.type == EventType::otherMouseDown) return host_->pasteSelection(location);
    return isLeftButton(event) && host_->mouseDown(location);
}

bool PanelHost::mouseDragged(const Event& event, Point location) {
    return isLeftButton(event) && host_->mouseDragged(location);
}

bool PanelHost::mouseUp(const Event& event, Point location) {
    return isLeftButton(event) && host_->mouseUp(location);
}

void PanelHost::mouseMoved(const Event&, Point location) {
    host_->mouseMoved(location);
}

bool PanelHost::scrollWheel(const Event& event, Point location) {
    return host_->scrollWheel(location, event.scrollingDeltaY);
}

void PanelHost::mouseEntered(Point location) {
    host_->mouseMoved(location);
}

void PanelHost::mouseExited() {
    host_->mouseExited();
}

bool PanelHost::keyDown(const Event& event) {
    return host_->keyDown(keyPress(event));
}

void PanelHost::visibilityDidChange(bool) {
    host_->windowVisibilityDidChange();
}

void PanelHost::didMoveToPanel(Panel* panel) {
    host_->windowVisibilityDidChange();
    if (!panel) {
        panelResizing_.reset();
        host_->mouseExited();
    } else {
        host_->setProposedSize(panel->frame().size);
        // The views hit-test from their last layout: it follows the panel's size as soon as the
        // panel is resized (a window fitting its content, say), not only at the next drawing.
        panelResizing_ = platform().notificationCenter().addObserver(
            Panel::kDidResizeNotification, panel, NotificationDelivery::synchronous,
            weakly(weak_from_this(), &PanelHost::followPanelSize));
        focusDidChange(host_->hasFocusedTextField());
        setNeedsDisplay();
    }
    if (onMoveToPanel) onMoveToPanel(panel);
}

void PanelHost::followPanelSize() {
    const auto panel = this->panel();
    if (!panel || host_->size() == panel->frame().size) return;
    host_->setProposedSize(panel->frame().size);
    host_->updateNow();
}

KeyPress PanelHost::keyPress(const Event& event) {
    KeyPress press;
    press.modifiers = modifiersOf(event);
    press.isRepeat = event.isARepeat;
    // Shortcuts compare the key itself; typing wants what the key types.
    const bool chord = contains(press.modifiers, Modifiers::command) ||
                       contains(press.modifiers, Modifiers::control);
    press.characters = chord ? event.charactersIgnoringModifiers : event.characters;
    if (event.specialKey) {
        if (const auto key = namedKey(*event.specialKey)) {
            press.key = *key;
            press.characters.clear();
        }
    } else if (press.characters == " ") {
        press.key = Key::space;
    }
    return press;
}

}  // namespace talvori::ui
