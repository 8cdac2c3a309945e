#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "GlobalShortcuts/ConflictPolicy.hpp"
#include "GlobalShortcuts/LocalEventMonitor.hpp"
#include "GlobalShortcuts/Name.hpp"
#include "GlobalShortcuts/Shortcut.hpp"
#include "GlobalShortcuts/ValidationResult.hpp"
#include "platform/core/NotificationCenter.hpp"
#include "platform/core/Observation.hpp"
#include "platform/desktop/Responder.hpp"
#include "ui/FrameReader.hpp"
#include "ui/View.hpp"

namespace talvori {
class Panel;
}

namespace GlobalShortcuts {

// The library's own recorder control, a search-field-like box: it shows the shortcut of a name
// (stored by the library) or of a value the caller owns, and while it holds its window's keyboard
// focus it records the next combination the user presses. A combination is checked against the
// application's menus, the system's own shortcuts and the caller's validator, with alerts as the
// conflict policy asks, and stored. While it records, the library's hot keys are paused and every
// key press of the application goes to it. There is no editing besides clearing. On the main
// thread.
class RecorderCocoa final : public talvori::Responder,
                            public std::enable_shared_from_this<RecorderCocoa> {
  public:
    using OnChange = std::function<void(const std::optional<Shortcut>&)>;
    using Validator = std::function<ValidationResult(const Shortcut&)>;

    static constexpr double kMinimumWidth = 130;
    static constexpr double kHeight = 24;
    // How far beyond its edges a click still counts as a click on the field.
    static constexpr double kClickSlop = 3;

    static constexpr const char* kRecordShortcutKey = "record_shortcut";
    static constexpr const char* kPressShortcutKey = "press_shortcut";

    // What a screen reader hears: the value without a shortcut, the hint, the clear action, and
    // the announcements when recording starts, when a key lacks a modifier and when the shortcut
    // is cleared (a stored one is announced as "Saved, " and its keys).
    static constexpr const char* kNoShortcutValue = "None";
    static constexpr const char* kAccessibilityHint =
        "Press a shortcut while it has the focus to record it.";
    static constexpr const char* kClearActionName = "Clear shortcut";
    static constexpr const char* kRecordingAnnouncement =
        "Recording. Press a shortcut, or Escape to keep the current one.";
    static constexpr const char* kNeedsModifierAnnouncement =
        "Add Control, Alt or Super, or use a function key.";
    static constexpr const char* kClearedAnnouncement = "Shortcut cleared.";

    // Shows and stores the shortcut of `name`, following changes made elsewhere.
    static std::shared_ptr<RecorderCocoa> make(const Name& name, OnChange onChange = nullptr);
    // Shows and keeps a shortcut of the caller's (read back with currentShortcut()).
    static std::shared_ptr<RecorderCocoa> make(std::optional<Shortcut> shortcut,
                                               OnChange onChange = nullptr);
    ~RecorderCocoa() override;
    RecorderCocoa(const RecorderCocoa&) = delete;
    RecorderCocoa& operator=(const RecorderCocoa&) = delete;

    // The field that records now, if any.
    static std::shared_ptr<RecorderCocoa> activeRecorder();

    double minimumWidth = kMinimumWidth;
    // Told after the user records or clears a shortcut here.
    OnChange onChange;
    Validator validateShortcut;
    ConflictPolicy conflictPolicy = ConflictPolicy::defaultPolicy;
    // What a screen reader calls the control (the label beside it); "record_shortcut"'s text
    // when empty.
    std::string accessibilityTitle;

    const Name& shortcutName() const { return shortcutName_; }
    // Another name: the text follows when its raw value differs.
    void setShortcutName(const Name& name);
    // The name's stored shortcut, or the caller's value.
    std::optional<Shortcut> currentShortcut() const;
    // The current shortcut in words for a screen reader, or kNoShortcutValue.
    std::string spokenValue() const;
    // Stores `shortcut` from outside (no onChange); an equal value changes nothing.
    void saveShortcut(const std::optional<Shortcut>& shortcut);

    // What the control shows.
    talvori::Observable<std::string> text;
    // The text key of the placeholder: "record_shortcut", or "press_shortcut" while recording.
    talvori::Observable<std::string> placeholderKey{kRecordShortcutKey};
    talvori::Observable<bool> showsClearButton{false};
    // Whether it holds its window's keyboard focus, and so records.
    talvori::Observable<bool> isRecording{false};
    // Whether a click or Tab may give it the focus; false for a moment whenever its window
    // appears or becomes key, so that the window's own choice of a focused view starts nothing.
    talvori::Observable<bool> canBecomeKey{false};

    // The control as a view.
    talvori::ui::View view();

    // ---- Responder: holding the window's keyboard focus is recording.
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // ---- What the view reports
    // The control was put into `window`, or taken out of its window (null).
    void viewDidMoveToWindow(const std::shared_ptr<talvori::Panel>& window);
    // The clear button, clicked by the user or by Delete while recording.
    void clickCancelButton();
    // Asks its window for the keyboard focus (a click, Tab); false when it may not have it.
    bool focus();
    std::shared_ptr<talvori::Panel> window() const { return window_.lock(); }
    // Where the control's view is drawn.
    const talvori::ui::FrameReader& frameReader() const { return frame_; }

    // The monitor's judgement of one event while recording: the event to pass on, or none.
    std::optional<talvori::Event> handleRecordingEvent(const talvori::Event& event);

  private:
    enum class Check { menuItem, systemShortcut, validator, store };

    RecorderCocoa(bool storesInBinding, Name name, std::optional<Shortcut> binding,
                  OnChange onChange);
    void setUp();
    void observeShortcutNameChanges();
    void refreshStringValue();
    void updateClearButton() { showsClearButton.set(!text.peek().empty()); }
    void endRecording();
    void controlTextDidEndEditing();
    void controlTextDidChange();
    bool isMouseUpInside(const talvori::Event& event) const;
    // Goes through the checks from `from` on and stores the shortcut when all pass; a check that
    // asks the user goes on once the answer allows it.
    void judge(const Shortcut& shortcut, Check from);
    bool resolveConflict(ConflictBehavior behavior, const std::string& message,
                         const std::string& informative, const Shortcut& shortcut, Check next);
    void presentAlert(const std::string& message, const std::string& informative,
                      std::vector<std::string> buttons, std::function<void(long)> completion);
    void store(const Shortcut& shortcut);
    void clearFirstResponder();
    std::optional<std::string> menuItemTitle(const Shortcut& shortcut) const;
    static void beep();

    const bool storesInBinding_;
    Name shortcutName_;
    std::optional<Shortcut> bindingShortcut_;
    std::unique_ptr<LocalEventMonitor> eventMonitor_;
    talvori::Registration shortcutsNameChangeObserver_;
    talvori::Registration windowDidResignKeyObserver_;
    talvori::Registration windowDidBecomeKeyObserver_;
    std::weak_ptr<talvori::Panel> window_;
    talvori::ui::FrameReader frame_;
};

}  // namespace GlobalShortcuts
