#include "GlobalShortcuts/RecorderCocoa.hpp"

#include "GlobalShortcuts/FunctionKeys.hpp"
#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "GlobalShortcuts/Key.hpp"
#include "GlobalShortcuts/ResourceBundle.hpp"
#include "GlobalShortcuts/ShortcutText.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Alert.hpp"
#include "platform/desktop/Announcer.hpp"
#include "platform/desktop/HotKeyService.hpp"
#include "platform/desktop/MenuItem.hpp"
#include "platform/desktop/Panel.hpp"
#include "ui/FocusRing.hpp"
#include "ui/Host.hpp"
#include "ui/Node.hpp"
#include "ui/UI.hpp"

namespace GlobalShortcuts {

namespace {

using talvori::Event;

using talvori::ModifierFlags;
using talvori::NotificationDelivery;
using talvori::Panel;
namespace ui = talvori::ui;

// The device-independent flags less Caps Lock and the keypad flag: any of them makes Tab, Delete
// and Escape keys of a combination rather than the field's own keys.
constexpr std::uint64_t kCommandFlags = 0xFFDE0000;
// Less Shift and Fn too: a combination needs one of these unless its key is a function key.
constexpr std::uint64_t kShortcutFlags = 0xFF5C0000;
constexpr talvori::EventMask kRecordingEvents =
    talvori::eventMaskBit(talvori::EventType::keyDown) |
    talvori::eventMaskBit(talvori::EventType::leftMouseUp) |
    talvori::eventMaskBit(talvori::EventType::rightMouseUp);

// The field that records, with its identity so that it recognises itself while being destroyed.
struct ActiveRecorder {
    std::weak_ptr<RecorderCocoa> recorder;
    const RecorderCocoa* identity = nullptr;
};

ActiveRecorder& activeRecorderSlot() {
    static ActiveRecorder active;
    return active;
}

// Tells the library's views, and lets the desktop's own shortcuts through to the field while it
// records: a combination the desktop holds must reach it to be refused, rather than act.
void postRecorderActive(bool active) {
    if (talvori::platform().hasDesktop()) {
        talvori::platform().hotKeyService().setKeyboardCaptured(active);
    }
    talvori::platform().notificationCenter().post(kRecorderActiveStatusDidChangeNotification,
                                                  nullptr, {{"isActive", active}});
}

void announce(const std::string& text) {
    talvori::platform().announcer().announce(text, talvori::Announcer::kHighPriority);
}

// On a later turn of the run loop, while the field still exists.
void later(const std::weak_ptr<RecorderCocoa>& weak, std::function<void(RecorderCocoa&)> work) {
    talvori::platform().runLoop().post(talvori::weakly(weak, std::move(work)));
}

// The message of a menu item's conflict: the table's format with the item's title in it. The
// title is inserted as text, never read as a format.
std::string menuItemMessage(const std::string& title) {
    std::string message = localized(ConflictPolicy::kMenuItemMessageKey);
    for (const char* placeholder : {"%s", "%@"}) {
        if (const auto at = message.find(placeholder); at != std::string::npos) {
            return message.replace(at, 2, title);
        }
    }
    return message;
}

// Tells the field when it enters a window (appearing in one, or its window reaching the screen)
// and when it leaves it.
class WindowPresenceElement final : public ui::ModifierElement {
  public:
    WindowPresenceElement(std::shared_ptr<const ui::Element> content,
                          std::weak_ptr<RecorderCocoa> recorder)
        : ModifierElement(std::move(content)), recorder_(std::move(recorder)) {}

    void didAppear(ui::Node& node) const override { report(node.host().window()); }
    void screenPresenceChanged(ui::Node& node, bool isOnScreen) const override {
        if (isOnScreen) report(node.host().window());
    }
    void willDisappear(ui::Node&) const override { report(nullptr); }
    std::string debugName() const override { return "RecorderCocoa window"; }

  private:
    void report(const std::shared_ptr<Panel>& window) const {
        const auto recorder = recorder_.lock();
        if (recorder && recorder->window() != window) recorder->viewDidMoveToWindow(window);
    }
    std::weak_ptr<RecorderCocoa> recorder_;
};

// The search field's round clear button: a cross in a filled circle.
ui::View clearButton(std::function<void()> action) {
    const ui::Shape cross([](const talvori::Rect& rect) {
        ui::Path path;
        path.moveTo({rect.minX(), rect.minY()}).lineTo({rect.maxX(), rect.maxY()});
        path.moveTo({rect.maxX(), rect.minY()}).lineTo({rect.minX(), rect.maxY()});
        return path;
    });
    const ui::StrokeStyle line{.lineWidth = 1.5, .lineCap = ui::LineCap::round};
    return ui::Button(std::move(action),
                      ui::ZStack({ui::Circle().fill(ui::Color::white(0.45)),
                                  cross.stroke(ui::Color::black(0.7), line).frame(5, 5)})
                          .frame(14, 14))
        .accessibilityLabel("Clear");
}

// The ring of the focused control, around the field's rounded box.
ui::View focusRing(double cornerRadius, const ui::Color& tint) {
    constexpr double middle = ui::FocusRing::kGap + ui::FocusRing::kLineWidth / 2;
    return ui::RoundedRectangle(cornerRadius + middle)
        .stroke(tint, ui::FocusRing::kLineWidth)
        .padding(-middle)
        .allowsHitTesting(false)
        .accessibilityIdentifier("RecorderCocoa.ring");
}

struct Control {
    std::shared_ptr<RecorderCocoa> recorder;

    ui::View body(ui::ViewContext<ui::NoState>& ctx) const {
        const auto& model = *recorder;
        const std::string text = model.text();
        const bool recording = model.isRecording();
        const bool empty = text.empty();
        const std::string shown = empty ? localized(model.placeholderKey()) : text;
        const ui::RoundedRectangle box(kCornerRadius);
        const auto weak = std::weak_ptr<RecorderCocoa>(recorder);
        ui::View clear;
        if (model.showsClearButton()) {
            clear = clearButton(talvori::weakly(weak, &RecorderCocoa::clickCancelButton))
                        .padding(ui::Edges::trailing, 5);
        }
        ui::View ring;
        if (recording) ring = focusRing(kCornerRadius, ctx.environment().tint);
        const ui::Binding<bool> focus(
            talvori::weakly(weak, [](RecorderCocoa& self) { return self.isRecording.peek(); }),
            talvori::weakly(weak,
                            [](RecorderCocoa& self, bool focused) {
                                if (focused) {
                                    self.focus();
                                } else if (const auto window = self.window();
                                           window && window->firstResponder().get() == &self) {
                                    window->makeFirstResponder(nullptr);
                                }
                            }),
            talvori::weakly(weak, [](RecorderCocoa& self, std::function<void()> onChange) {
                return self.isRecording.observe(std::move(onChange));
            }));
        const ui::View content =
            ui::ZStack(ui::Alignment::trailing(),
                       {ui::Text(shown)
                            .font(ui::Font::system(13))
                            .foregroundColor(ui::Color::white(empty ? 0.35 : 0.9))
                            .lineLimit(1)
                            .frame({.maxWidth = std::numeric_limits<double>::infinity()}),
                        clear})
                .padding(ui::Edges::horizontal, 6)
                .frame(model.minimumWidth, RecorderCocoa::kHeight)
                .background(box.fill(ui::Color::white(0.06)))
                .overlay(box.strokeBorder(ui::Color::white(0.12), 1))
                .overlay(ring)
                .contentShape(box)
                .readFrame(model.frameReader())
                .focusable(model.canBecomeKey())
                .focused(focus)
                .accessibilityElement(ui::AccessibilityChildren::ignore)
                .accessibilityAddTraits(talvori::AccessibilityTrait::isButton)
                .accessibilityLabel(model.accessibilityTitle.empty()
                                        ? localized(RecorderCocoa::kRecordShortcutKey)
                                        : model.accessibilityTitle)
                .accessibilityValue(model.spokenValue())
                .accessibilityHint(RecorderCocoa::kAccessibilityHint)
                .accessibilityAction(
                    talvori::weakly(weak, [](RecorderCocoa& self) { self.focus(); }))
                .accessibilityAction(RecorderCocoa::kClearActionName,
                                     talvori::weakly(weak, &RecorderCocoa::clickCancelButton))
                .accessibilityIdentifier("RecorderCocoa");
        return ui::View(std::make_shared<WindowPresenceElement>(content.element(), weak));
    }

    static constexpr double kCornerRadius = 6;
};

}  // namespace

std::shared_ptr<RecorderCocoa> RecorderCocoa::make(const Name& name, OnChange onChange) {
    auto field = std::shared_ptr<RecorderCocoa>(
        new RecorderCocoa(false, name, std::nullopt, std::move(onChange)));
    field->setUp();
    field->observeShortcutNameChanges();
    return field;
}

std::shared_ptr<RecorderCocoa> RecorderCocoa::make(std::optional<Shortcut> shortcut,
                                                   OnChange onChange) {
    auto field = std::shared_ptr<RecorderCocoa>(
        new RecorderCocoa(true, Name::fromRawValue(""), shortcut, std::move(onChange)));
    field->setUp();
    return field;
}

RecorderCocoa::RecorderCocoa(bool storesInBinding, Name name, std::optional<Shortcut> binding,
                             OnChange onChange)
    : onChange(std::move(onChange)),
      storesInBinding_(storesInBinding),
      shortcutName_(std::move(name)),
      bindingShortcut_(binding) {}

RecorderCocoa::~RecorderCocoa() {
    // A field dropped while it records gives the hot keys back, as ending would.
    if (activeRecorderSlot().identity != this) return;
    activeRecorderSlot() = {};
    // A field a screen reader's cache kept can outlive the platform, and the hot keys with it.
    if (!talvori::Platform::isInstalled()) return;
    setPaused(false);
    postRecorderActive(false);
}

std::shared_ptr<RecorderCocoa> RecorderCocoa::activeRecorder() {
    return activeRecorderSlot().recorder.lock();
}

void RecorderCocoa::setUp() {
    placeholderKey.set(kRecordShortcutKey);
    refreshStringValue();
}

void RecorderCocoa::observeShortcutNameChanges() {
    const std::weak_ptr<RecorderCocoa> weak = weak_from_this();
    shortcutsNameChangeObserver_ = talvori::platform().notificationCenter().addObserver(
        kShortcutByNameDidChangeNotification, nullptr, NotificationDelivery::synchronous,
        [weak](const talvori::Notification& notification) {
            const auto changed = GlobalShortcuts::shortcutName(notification);
            if (!changed) return;
            later(weak, [raw = changed->rawValue](RecorderCocoa& self) {
                if (raw == self.shortcutName_.rawValue) self.refreshStringValue();
            });
        });
}

void RecorderCocoa::refreshStringValue() {
    const auto shortcut = currentShortcut();
    text.set(shortcut ? shortcutText(*shortcut) : std::string());
    updateClearButton();
}

std::string RecorderCocoa::spokenValue() const {
    const auto shortcut = currentShortcut();
    return shortcut ? spokenShortcut(*shortcut) : kNoShortcutValue;
}

void RecorderCocoa::setShortcutName(const Name& name) {
    const bool changed = name.rawValue != shortcutName_.rawValue;
    shortcutName_ = name;
    if (!storesInBinding_ && changed) refreshStringValue();
}

std::optional<Shortcut> RecorderCocoa::currentShortcut() const {
    return storesInBinding_ ? bindingShortcut_ : getShortcut(shortcutName_);
}

void RecorderCocoa::saveShortcut(const std::optional<Shortcut>& shortcut) {
    if (shortcut == currentShortcut()) return;
    if (storesInBinding_) {
        bindingShortcut_ = shortcut;
    } else {
        setShortcut(shortcut, shortcutName_);
    }
    refreshStringValue();
}

ui::View RecorderCocoa::view() {
    return Control{shared_from_this()};
}

// ---- Window and focus

void RecorderCocoa::viewDidMoveToWindow(const std::shared_ptr<Panel>& window) {
    windowDidResignKeyObserver_.reset();
    windowDidBecomeKeyObserver_.reset();
    window_ = window;
    if (!window) {
        endRecording();
        return;
    }
    const std::weak_ptr<RecorderCocoa> weak = weak_from_this();
    auto& center = talvori::platform().notificationCenter();
    windowDidResignKeyObserver_ =
        center.addObserver(Panel::kDidResignKeyNotification, window.get(),
                           NotificationDelivery::synchronous, [weak](const talvori::Notification&) {
                               later(weak, [](RecorderCocoa& self) {
                                   const auto window = self.window();
                                   if (!window) return;
                                   self.endRecording();
                                   window->makeFirstResponder(nullptr);
                               });
                           });
    windowDidBecomeKeyObserver_ = center.addObserver(
        Panel::kDidBecomeKeyNotification, window.get(), NotificationDelivery::synchronous,
        [weak](const talvori::Notification&) {
            later(weak, [weak](RecorderCocoa& self) {
                self.canBecomeKey.set(false);
                later(weak, [](RecorderCocoa& again) { again.canBecomeKey.set(true); });
            });
        });
    canBecomeKey.set(false);
    later(weak, [](RecorderCocoa& self) { self.canBecomeKey.set(true); });
}

bool RecorderCocoa::focus() {
    const auto window = this->window();
    if (!window || !canBecomeKey.peek()) return false;
    return window->makeFirstResponder(shared_from_this());
}

bool RecorderCocoa::becomeFirstResponder() {
    if (!window()) return false;
    placeholderKey.set(kPressShortcutKey);
    updateClearButton();
    // Focus coming back after an alert or a clear goes on recording, unannounced.
    if (!isRecording.peek()) announce(kRecordingAnnouncement);
    isRecording.set(true);
    activeRecorderSlot() = {weak_from_this(), this};
    setPaused(true);
    postRecorderActive(true);
    const std::weak_ptr<RecorderCocoa> weak = weak_from_this();
    eventMonitor_ = std::make_unique<LocalEventMonitor>(
        kRecordingEvents, [weak](const Event& event) -> std::optional<Event> {
            talvori::platform().runLoop().assertMainThread();
            // A monitor that outlives its field must not eat the application's keys and clicks.
            return talvori::withOwner(weak, &RecorderCocoa::handleRecordingEvent, event)
                .value_or(event);
        });
    eventMonitor_->start();
    return true;
}

bool RecorderCocoa::resignFirstResponder() {
    controlTextDidEndEditing();
    return true;
}

void RecorderCocoa::controlTextDidEndEditing() {
    // Recording goes on when the focus came back at once (after an alert, say).
    later(weak_from_this(), [](RecorderCocoa& self) {
        const auto window = self.window();
        if (window && window->firstResponder().get() == &self) return;
        self.endRecording();
    });
}

void RecorderCocoa::endRecording() {
    eventMonitor_.reset();
    placeholderKey.set(kRecordShortcutKey);
    updateClearButton();
    isRecording.set(false);
    if (activeRecorderSlot().identity != this) return;
    activeRecorderSlot() = {};
    setPaused(false);
    postRecorderActive(false);
}

void RecorderCocoa::clickCancelButton() {
    if (text.peek().empty()) return;
    text.set("");
    controlTextDidChange();
}

void RecorderCocoa::controlTextDidChange() {
    if (storesInBinding_) {
        bindingShortcut_.reset();
    } else {
        setShortcut(std::nullopt, shortcutName_);
    }
    announce(kClearedAnnouncement);
    if (onChange) onChange(std::nullopt);
    updateClearButton();
    if (const auto window = this->window()) window->makeFirstResponder(shared_from_this());
}

void RecorderCocoa::clearFirstResponder() {
    if (const auto window = this->window()) window->makeFirstResponder(nullptr);
}

// ---- Recording

bool RecorderCocoa::isMouseUpInside(const Event& event) const {
    const auto window = this->window();
    // A click in another of our windows is outside, wherever it lies in that window.
    if (!window || event.windowNumber != window->windowNumber()) return false;
    const auto frame = frame_.frameInWindow();
    if (!frame) return false;
    const talvori::Rect grown(frame->minX() - kClickSlop, frame->minY() - kClickSlop,
                              frame->width() + 2 * kClickSlop, frame->height() + 2 * kClickSlop);
    return grown.contains(event.locationInWindow);
}

std::optional<Event> RecorderCocoa::handleRecordingEvent(const Event& event) {
    if (event.type == talvori::EventType::leftMouseUp ||
        event.type == talvori::EventType::rightMouseUp) {
        if (!isMouseUpInside(event)) clearFirstResponder();
        return event;
    }
    if (!event.isKey()) return std::nullopt;
    if ((event.modifierFlags & kCommandFlags) == 0) {
        if (event.specialKey == talvori::SpecialKey::tab) {
            clearFirstResponder();
            return event;
        }
        if (event.specialKey == talvori::SpecialKey::backspace ||
            event.specialKey == talvori::SpecialKey::deleteForward) {
            if (!event.isARepeat) clickCancelButton();
            return std::nullopt;
        }
        if (event.keyCode == Key::escape.rawValue) {
            clearFirstResponder();
            return std::nullopt;
        }
    }
    // A held combination is judged once, not again (nor beeped at) at the key-repeat rate.
    if (event.isARepeat) return std::nullopt;
    const bool isFunctionKey = event.specialKey && FunctionKeys::contains(*event.specialKey);
    if ((event.modifierFlags & kShortcutFlags) == 0 && !isFunctionKey) {
        beep();
        announce(kNeedsModifierAnnouncement);
        return std::nullopt;
    }
    const auto shortcut = Shortcut::fromEvent(event);
    if (!shortcut) {
        beep();
        return std::nullopt;
    }
    judge(*shortcut, Check::menuItem);
    return std::nullopt;
}

void RecorderCocoa::judge(const Shortcut& shortcut, Check from) {
    if (from <= Check::menuItem && shortcut != currentShortcut()) {
        if (const auto title = menuItemTitle(shortcut)) {
            if (!resolveConflict(conflictPolicy.menuItem, menuItemMessage(*title), "", shortcut,
                                 Check::systemShortcut)) {
                return;
            }
        }
    }
    if (from <= Check::systemShortcut && shortcut.isTakenBySystem()) {
        if (!resolveConflict(conflictPolicy.systemShortcut,
                             localized(ConflictPolicy::kSystemShortcutMessageKey),
                             localized(ConflictPolicy::kSystemShortcutInformativeKey), shortcut,
                             Check::validator)) {
            return;
        }
    }
    if (from <= Check::validator && validateShortcut) {
        const auto result = validateShortcut(shortcut);
        if (!result.isAllowed()) {
            presentAlert(*result.disallowReason, "", {}, nullptr);
            return;
        }
    }
    store(shortcut);
}

bool RecorderCocoa::resolveConflict(ConflictBehavior behavior, const std::string& message,
                                    const std::string& informative, const Shortcut& shortcut,
                                    Check next) {
    switch (behavior) {
        case ConflictBehavior::allow:
            return true;
        case ConflictBehavior::block:
            presentAlert(message, informative, {}, nullptr);
            return false;
        case ConflictBehavior::warn:
            break;
    }
    // The answer comes on a later turn; the checks after this one wait for it.
    const std::weak_ptr<RecorderCocoa> weak = weak_from_this();
    presentAlert(message, informative, {localized("ok"), localized("force_use_shortcut")},
                 talvori::weakly(weak, [shortcut, next](RecorderCocoa& self, long response) {
                     if (conflictAccepts(ConflictBehavior::warn, static_cast<int>(response))) {
                         self.judge(shortcut, next);
                     }
                 }));
    return false;
}

void RecorderCocoa::presentAlert(const std::string& message, const std::string& informative,
                                 std::vector<std::string> buttons,
                                 std::function<void(long)> completion) {
    clearFirstResponder();
    talvori::Alert alert;
    alert.messageText = message;
    alert.informativeText = informative;
    alert.alertStyle = talvori::AlertStyle::warning;
    alert.buttons = std::move(buttons);
    const std::weak_ptr<RecorderCocoa> weak = weak_from_this();
    talvori::platform().alerts().beginSheetModal(
        std::move(alert), window(),
        talvori::weakly(weak,
                        [completion = std::move(completion)](RecorderCocoa& self, long response) {
                            // Recording resumes after every alert.
                            if (const auto window = self.window())
                                window->makeFirstResponder(self.shared_from_this());
                            if (completion) completion(response);
                        }));
}

void RecorderCocoa::store(const Shortcut& shortcut) {
    text.set(shortcutText(shortcut));
    showsClearButton.set(true);
    if (storesInBinding_) {
        bindingShortcut_ = shortcut;
    } else {
        setShortcut(shortcut, shortcutName_);
    }
    announce("Saved, " + spokenShortcut(shortcut) + ".");
    if (onChange) onChange(shortcut);
    clearFirstResponder();
}

}  // namespace GlobalShortcuts

namespace GlobalShortcuts {

std::optional<std::string> RecorderCocoa::menuItemTitle(const Shortcut& shortcut) const {
    // Without a main menu no item can hold the shortcut.
    const auto menu = talvori::platform().application().mainMenu();
    if (!menu) return std::nullopt;
    const auto item = shortcut.menuItemWithMatchingShortcut(*menu);
    if (!item) return std::nullopt;
    return item->title();
}

void RecorderCocoa::beep() {
    talvori::platform().sound().beep();
}

}  // namespace GlobalShortcuts
