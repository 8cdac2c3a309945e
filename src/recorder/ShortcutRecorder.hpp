#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/Registration.hpp"

namespace talvori {

struct Event;

// The model behind one shortcut field of the settings: records a new global shortcut for one name
// straight from the keyboard, checks it (a real modifier, not reserved by the system, not held by
// another of the application's names), stores or clears it, and speaks every outcome. While one
// recorder records, the global hot keys are off, so a shortcut already in use can be pressed and
// recorded instead of firing. All on the main thread.
class ShortcutRecorder : public std::enable_shared_from_this<ShortcutRecorder> {
  public:
    // The pressed combination lacks Command, Option and Control.
    struct NeedsModifier {
        std::vector<std::string> keycaps;
        bool operator==(const NeedsModifier&) const = default;
    };
    // The system already uses the combination.
    struct Reserved {
        std::vector<std::string> keycaps;
        bool operator==(const Reserved&) const = default;
    };
    // Another of the application's names already has the shortcut.
    struct Conflict {
        GlobalShortcuts::Name name;
        std::string title;
        GlobalShortcuts::Shortcut shortcut;
        bool operator==(const Conflict&) const = default;
    };
    struct Saved {
        GlobalShortcuts::Shortcut shortcut;
        bool operator==(const Saved&) const = default;
    };
    struct Waiting {
        bool operator==(const Waiting&) const = default;
    };
    // What the last key told; waiting at first.
    using Phase = std::variant<Waiting, NeedsModifier, Reserved, Conflict, Saved>;

    static constexpr const char* kRecordingAnnouncement =
        "Recording. Press a shortcut, or Escape to close.";
    static constexpr const char* kNeedsModifierAnnouncement = "Add Command, Option or Control.";
    static constexpr const char* kReservedAnnouncement =
        "Your desktop already uses this shortcut. Try a different combination.";

    // `onChange` runs once after every store or clear made here.
    ShortcutRecorder(GlobalShortcuts::Name name, std::function<void()> onChange);
    // A recorder dropped while it records gives the hot keys back, as stopping would.
    ~ShortcutRecorder();
    ShortcutRecorder(const ShortcutRecorder&) = delete;
    ShortcutRecorder& operator=(const ShortcutRecorder&) = delete;

    const GlobalShortcuts::Name name;
    const std::string title;
    std::function<void()> onChange;

    // The name's shortcut as last read or written here.
    Observable<std::optional<GlobalShortcuts::Shortcut>> current;
    // The desktop holds `current` (it was refused when registered): it never fires here, and
    // shows as taken until another shortcut is recorded.
    Observable<bool> currentIsTaken{false};
    // Whoever ends recording sets this false first, then calls stopRecording.
    Observable<bool> isRecording{false};
    Observable<Phase> phase;
    // The modifier keys held now: Shift, Control, Option and Command only.
    Observable<std::uint64_t> heldModifiers{0};
    // Key presses judged as candidates since the recorder was made; only grows.
    Observable<std::int64_t> attempt{0};

    // What a reader says of a combination without a real modifier, naming the modifiers as the
    // keyboard layout does.
    static std::string needsModifierAnnouncement();

    // The recorder that records now, if any.
    static std::shared_ptr<ShortcutRecorder> active();

    // Reads the stored shortcut again; the field calls it whenever any shortcut changed.
    void refresh();
    // Turns the hot keys off and watches the keyboard; displaces a recorder that records.
    void startRecording();
    // Stops watching the keyboard and, when this is the recorder that records, turns the hot keys
    // back on. Leaves `isRecording` and `phase` alone.
    void stopRecording();
    void clear();
    void save(const GlobalShortcuts::Shortcut& shortcut);
    // In a conflict, takes the shortcut away from the other name and saves it here.
    void confirmOverwrite();
    // Judges one keyboard event while recording; answers whether it was consumed.
    bool handle(const Event& event);

  private:
    bool isActive() const;
    void setCurrent(const std::optional<GlobalShortcuts::Shortcut>& shortcut);
    void captureKeyboard(bool captured);
    void releaseKeyboard();
    void endRecording();
    // What a reader hears when Escape ends recording: the shortcut that stands.
    std::string endedAnnouncement() const;
    bool handleKeyDown(const Event& event, std::uint64_t flags);
    void judge(const GlobalShortcuts::Shortcut& shortcut);
    std::optional<Conflict> conflictFor(const GlobalShortcuts::Shortcut& shortcut) const;

    Registration monitor_;
    Registration deactivation_;
};

}  // namespace talvori
