#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace talvori {

// A hot key as the system knows it: the owner's four-character signature and the owner's number.
struct HotKeyID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
    bool operator==(const HotKeyID&) const = default;
};

// A registered combination; hand it back to unregister.
struct HotKeyRef {
    std::uint64_t value = 0;
    bool operator==(const HotKeyRef&) const = default;
};

// An installed event handler.
struct HotKeyHandlerRef {
    std::uint64_t value = 0;
    bool operator==(const HotKeyHandlerRef&) const = default;
};

enum class HotKeyEventKind { pressed, released };

struct HotKeyEvent {
    HotKeyEventKind kind = HotKeyEventKind::pressed;
    HotKeyID hotKeyID;
};

// A handler's answer: `handled` ends the event's dispatch, `notHandled` lets the next handler see
// it (the event belongs to someone else).
enum class HotKeyEventResult { handled, notHandled };

// One of the system's own shortcuts (switching desktops, screenshots, ...).
struct SymbolicHotKey {
    bool enabled = false;
    std::int64_t keyCode = 0;
    // Carbon modifier mask.
    std::int64_t modifiers = 0;
};

// The system's service for combinations that reach the program wherever the keyboard focus is.
// While a combination is registered, each press of it anywhere in the session gives one pressed
// and one released event carrying its id, whatever the Caps Lock and Num Lock state; the keystroke
// reaches no other program, and holding the key gives no repeats. A release belongs to the press
// of the same key, even when the modifiers were let go first. Events arrive on the main thread.
class HotKeyService {
  public:
    using Handler = std::function<HotKeyEventResult(const HotKeyEvent&)>;

    virtual ~HotKeyService() = default;

    // Registers `keyCode` (a virtual key code) with `modifiers` (a Carbon mask) under `id`. Absent
    // when the combination is taken, by another program or by this one, or cannot be expressed.
    virtual std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                    HotKeyID id) = 0;
    virtual void unregisterHotKey(HotKeyRef ref) = 0;

    // Installs a handler that receives no events until enabled. Absent when events cannot be
    // delivered at all.
    virtual std::optional<HotKeyHandlerRef> installEventHandler(Handler handler) = 0;
    virtual void setHandlerEnabled(HotKeyHandlerRef handler, bool enabled) = 0;

    // The system's own shortcuts, read afresh; absent when the list cannot be read.
    virtual std::optional<std::vector<SymbolicHotKey>> symbolicHotKeys() const = 0;
    // Whether another program (the desktop, most often) holds the combination now, so that
    // registering it would be refused. Desktops that keep no list of their shortcuts are asked
    // this way; a combination this program has registered is not held elsewhere.
    virtual bool isHeldElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) = 0;
    // While captured, every combination typed into the program's own windows reaches them, also
    // those another program holds: a shortcut being recorded must reach the recorder to be
    // refused, rather than fire the desktop's action.
    virtual void setKeyboardCaptured(bool captured) = 0;
};

}  // namespace talvori
