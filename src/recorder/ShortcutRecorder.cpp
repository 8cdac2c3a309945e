#include "recorder/ShortcutRecorder.hpp"

#include <limits>

#include "GlobalShortcuts/GlobalShortcuts.hpp"
#include "covers/announceForAccessibility.hpp"
#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/Event.hpp"
#include "platform/desktop/KeyboardLayout.hpp"
#include "recorder/ShortcutGlyphs.hpp"
#include "recorder/ShortcutTitles.hpp"

namespace talvori {

namespace {

using GlobalShortcuts::Shortcut;

// Shift, Control, Option and Command: Caps Lock, Fn, the keypad and Help do not count as held.
constexpr std::uint64_t kCountedModifiers =
    ModifierFlags::shift | ModifierFlags::control | ModifierFlags::option | ModifierFlags::command;
// The modifiers that make a combination safe from firing while the user types.
constexpr std::uint64_t kRealModifiers =
    ModifierFlags::control | ModifierFlags::option | ModifierFlags::command;

constexpr std::uint16_t kReturn = 36;
constexpr std::uint16_t kKeypadEnter = 76;
constexpr std::uint16_t kTab = 48;
constexpr std::uint16_t kEscape = 53;
constexpr std::uint16_t kDelete = 51;
constexpr std::uint16_t kForwardDelete = 117;

// The recorder that records. Its identity is kept beside the weak reference so that a recorder
// can still recognise itself while it is being destroyed.
struct ActiveRecorder {
    std::weak_ptr<ShortcutRecorder> recorder;
    const ShortcutRecorder* identity = nullptr;
};

ActiveRecorder& activeRecorder() {
    static ActiveRecorder active;
    return active;
}

}  // namespace

std::string ShortcutRecorder::needsModifierAnnouncement() {
    using Naming = KeyboardLayout::ModifierNaming;
    return platform().keyboardLayout().modifierNaming() == Naming::words
               ? "Add Control, Alt or Super."
               : kNeedsModifierAnnouncement;
}

ShortcutRecorder::ShortcutRecorder(GlobalShortcuts::Name name, std::function<void()> onChange)
    : name(std::move(name)), title(titleForName(this->name)), onChange(std::move(onChange)) {
    setCurrent(GlobalShortcuts::getShortcut(this->name));
}

ShortcutRecorder::~ShortcutRecorder() {
    if (!isActive()) return;
    activeRecorder() = {};
    // A recorder a screen reader's cache kept can outlive the platform, and the keyboard and the
    // hot keys with it.
    if (!Platform::isInstalled()) return;
    captureKeyboard(false);
    GlobalShortcuts::setEnabled(true);
}

std::shared_ptr<ShortcutRecorder> ShortcutRecorder::active() {
    return activeRecorder().recorder.lock();
}

bool ShortcutRecorder::isActive() const {
    return activeRecorder().identity == this;
}

void ShortcutRecorder::refresh() {
    setCurrent(GlobalShortcuts::getShortcut(name));
}

void ShortcutRecorder::setCurrent(const std::optional<Shortcut>& shortcut) {
    current.set(shortcut);
    currentIsTaken.set(shortcut && shortcut->isTakenBySystem());
}

// The desktop's own shortcuts must reach the recorder to be refused, instead of acting.
void ShortcutRecorder::captureKeyboard(bool captured) {
    platform().hotKeyService().setKeyboardCaptured(captured);
}

void ShortcutRecorder::startRecording() {
    platform().runLoop().assertMainThread();
    if (isRecording.peek()) return;
    // This recorder becomes the active one before the displaced one stops, so that the hot keys
    // stay off instead of being registered again only to be dropped at once.
    const auto displaced = active();
    activeRecorder() = {weak_from_this(), this};
    if (displaced && displaced.get() != this) displaced->endRecording();
    GlobalShortcuts::setEnabled(false);
    captureKeyboard(true);
    phase.set(Waiting{});
    heldModifiers.set(0);
    const std::weak_ptr<ShortcutRecorder> weak = weak_from_this();
    monitor_ = platform().input().addLocalMonitor(
        eventMaskBit(EventType::keyDown) | eventMaskBit(EventType::flagsChanged),
        [weak](const Event& event) -> std::optional<Event> {
            platform().runLoop().assertMainThread();
            if (withOwner(weak, &ShortcutRecorder::handle, event).value_or(false)) {
                return std::nullopt;
            }
            return event;
        });
    // The local monitor sees nothing while another application is active: recording there would
    // only leave every global shortcut dead.
    deactivation_ = platform().notificationCenter().addObserver(
        Application::kDidResignActiveNotification, nullptr, NotificationDelivery::synchronous,
        weakly(weak, &ShortcutRecorder::endRecording));
    isRecording.set(true);
    announceForAccessibility(kRecordingAnnouncement);
}

std::string ShortcutRecorder::endedAnnouncement() const {
    const auto& shortcut = current.peek();
    return "Recording ended. " + title + ": " + (shortcut ? spokenShortcut(*shortcut) : "none") +
           ".";
}

void ShortcutRecorder::endRecording() {
    isRecording.set(false);
    stopRecording();
}

void ShortcutRecorder::stopRecording() {
    releaseKeyboard();
    heldModifiers.set(0);
    if (!isActive()) return;
    activeRecorder() = {};
    // A recorder a screen reader's cache kept can outlive the platform, and the keyboard and the
    // hot keys with it.
    if (!Platform::isInstalled()) return;
    captureKeyboard(false);
    GlobalShortcuts::setEnabled(true);
}

void ShortcutRecorder::releaseKeyboard() {
    monitor_.reset();
    deactivation_.reset();
}

void ShortcutRecorder::clear() {
    GlobalShortcuts::setShortcut(std::nullopt, name);
    setCurrent(std::nullopt);
    phase.set(Waiting{});
    if (onChange) onChange();
    announceForAccessibility(title + " shortcut cleared.");
}

void ShortcutRecorder::save(const Shortcut& shortcut) {
    GlobalShortcuts::setShortcut(shortcut, name);
    setCurrent(shortcut);
    phase.set(Saved{shortcut});
    if (onChange) onChange();
    announceForAccessibility("Saved, " + spokenShortcut(shortcut) + ". Press Delete to remove it.");
}

void ShortcutRecorder::confirmOverwrite() {
    const auto* conflict = std::get_if<Conflict>(&phase.peek());
    if (!conflict) return;
    const Conflict found = *conflict;
    // The other name may have changed since the conflict was found (another field, a restore):
    // only a name that still holds the shortcut loses it, else the shortcut is judged again.
    if (GlobalShortcuts::getShortcut(found.name) != found.shortcut) {
        judge(found.shortcut);
        return;
    }
    GlobalShortcuts::setShortcut(std::nullopt, found.name);
    save(found.shortcut);
}

bool ShortcutRecorder::handle(const Event& event) {
    if (!isRecording.peek()) return false;
    const std::uint64_t flags = event.modifierFlags & kCountedModifiers;
    if (event.type == EventType::flagsChanged) {
        const std::uint64_t newlyPressed = flags & ~heldModifiers.peek();
        heldModifiers.set(flags);
        if (newlyPressed != 0) phase.set(Waiting{});
        return false;
    }
    if (event.type != EventType::keyDown) return false;
    // A key carries the modifiers held now: a release that went elsewhere is made good here.
    heldModifiers.set(flags);
    const auto keepAlive = weak_from_this().lock();
    return handleKeyDown(event, flags);
}

bool ShortcutRecorder::handleKeyDown(const Event& event, std::uint64_t flags) {
    if (flags == 0) {
        switch (event.keyCode) {
            case kReturn:
            case kKeypadEnter:
                if (std::holds_alternative<Conflict>(phase.peek())) {
                    confirmOverwrite();
                    return true;
                }
                break;
            case kTab:
                endRecording();
                return true;
            case kEscape:
                // The focus stays on the field, so nothing else would tell a reader that the
                // popover closed and which shortcut stands.
                endRecording();
                announceForAccessibility(endedAnnouncement());
                return true;
            case kDelete:
            case kForwardDelete:
                if (!event.isARepeat) clear();
                return true;
            default:
                break;
        }
    }
    // A held combination is judged once, not again at the key-repeat rate.
    if (event.isARepeat) return true;
    if (const auto shortcut = Shortcut::fromEvent(event)) {
        if (attempt.peek() < std::numeric_limits<std::int64_t>::max())
            attempt.set(attempt.peek() + 1);
        judge(*shortcut);
    }
    return true;
}

void ShortcutRecorder::judge(const Shortcut& shortcut) {
    if ((shortcut.modifiers() & kRealModifiers) == 0 &&
        !isModifierFreeKey(shortcut.carbonKeyCode)) {
        phase.set(NeedsModifier{keycapGlyphs(shortcut)});
        announceForAccessibility(needsModifierAnnouncement());
        return;
    }
    if (shortcut.isTakenBySystem()) {
        phase.set(Reserved{keycapGlyphs(shortcut)});
        announceForAccessibility(kReservedAnnouncement);
        return;
    }
    if (auto conflict = conflictFor(shortcut)) {
        const std::string title = conflict->title;
        phase.set(std::move(*conflict));
        announceForAccessibility("Already used by " + title +
                                 ". Press Return to overwrite, or Escape to close.");
        return;
    }
    save(shortcut);
}

std::optional<ShortcutRecorder::Conflict> ShortcutRecorder::conflictFor(
    const Shortcut& shortcut) const {
    for (const auto& entry : shortcutTitles()) {
        if (entry.name.rawValue == name.rawValue) continue;
        if (GlobalShortcuts::getShortcut(entry.name) == shortcut) {
            return Conflict{entry.name, entry.title, shortcut};
        }
    }
    return std::nullopt;
}

}  // namespace talvori
