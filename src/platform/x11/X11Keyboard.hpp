#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

struct xkb_compose_state;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace talvori {
class BeforeWaitHook;
class RunLoop;
}  // namespace talvori

namespace talvori::x11 {

class X11EventRouter;

class X11Connection;

// The core keyboard as xkbcommon describes it: the keymap and its layouts, the modifier bits that
// carry Shift, Control, Alt (option), Super (command), Num Lock and Scroll Lock (read from the
// server's modifier map, never assumed), and the translation of key events into characters and
// modifier flags. Kept up to date from XKB events. Dead keys and the Compose key follow the
// compose table of the user's locale (LC_ALL, LC_CTYPE, LANG), or ~/.XCompose and $XCOMPOSEFILE.
class X11Keyboard {
  public:
    // The X modifier bits of each modifier key; 0 when no key carries it.
    struct ModifierBits {
        std::uint16_t shift = XCB_MOD_MASK_SHIFT;
        std::uint16_t capsLock = XCB_MOD_MASK_LOCK;
        std::uint16_t control = XCB_MOD_MASK_CONTROL;
        std::uint16_t option = 0;
        std::uint16_t command = 0;
        std::uint16_t numLock = 0;
        std::uint16_t scrollLock = 0;
        bool operator==(const ModifierBits&) const = default;
    };

    explicit X11Keyboard(std::shared_ptr<X11Connection> connection);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    bool isAvailable() const { return keymap_ != nullptr; }
    std::uint8_t xkbFirstEvent() const { return xkbFirstEvent_; }
    const ModifierBits& modifiers() const { return modifiers_; }
    // Called after the keymap or the modifier map changed (a new layout, a remapped key).
    void setOnKeymapChange(std::function<void()> handler) { onKeymapChange_ = std::move(handler); }

    // Handles XKB and mapping events.
    void subscribe(X11EventRouter& router);
    // Reads the compose table the first time `loop` would sleep, once start-up's work is done;
    // a key that needs it before then has it read at once.
    void loadComposeTableWhenIdle(RunLoop& loop);

    // The device-independent modifier flags of an X modifier state.
    std::uint64_t flags(std::uint16_t state) const;
    // What the key types in `state`, and with Shift as the only modifier.
    std::string characters(std::uint32_t xKeyCode, std::uint16_t state) const;
    std::string charactersIgnoringModifiers(std::uint32_t xKeyCode, std::uint16_t state) const;
    // The key's symbol in `state` (0 for none).
    std::uint32_t symbol(std::uint32_t xKeyCode, std::uint16_t state) const;
    // A symbol's name ("Tab", "Insert"); empty for none.
    static std::string symbolName(std::uint32_t symbol);
    // What the key types without modifiers in the current layout when it types Latin letters,
    // else in the first layout that does; empty for a dead key; absent without such a layout.
    std::optional<std::string> latinCharacters(std::uint32_t xKeyCode) const;
    // A key press fed to the sequence of dead keys and Compose presses under way: `consumed`
    // when the press starts, continues or breaks off a sequence (it types nothing), `composed`
    // with the text when it completes one, `none` when it has nothing to do with one.
    struct Composition {
        enum State { none, consumed, composed } state = none;
        std::string text;
    };
    Composition compose(std::uint32_t xKeyCode, std::uint16_t state);
    // Forgets a sequence under way.
    void resetCompose();
    // The X modifier bit a modifier key sets (from the server's modifier map); 0 for other keys.
    std::uint16_t modifierBitOfKey(std::uint32_t xKeyCode) const;

    // The keyboard's repeat settings in seconds; the usual values when they cannot be read.
    double repeatDelay() const;
    double repeatInterval() const;

  private:
    void setUp();
    bool loadKeymap();
    void mappingNotified(const xcb_mapping_notify_event_t& mapping);
    void xkbNotified(const xcb_generic_event_t& event);
    void keymapNotified();
    void readModifierMap();
    // A state of the keymap with the modifiers and the layout of a core event's `state`.
    xkb_state* stateOf(std::uint16_t state, bool shiftOnly) const;
    std::string utf8(std::uint32_t xKeyCode, std::uint16_t state, bool shiftOnly) const;
    bool typesLatinLetters(std::uint32_t layout) const;
    void loadComposeTable();
    xkb_compose_state* composeState();

    std::shared_ptr<X11Connection> connection_;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
    xkb_compose_state* compose_ = nullptr;
    bool composeTableRead_ = false;
    std::shared_ptr<BeforeWaitHook> composeTableHook_;
    std::int32_t deviceId_ = -1;
    std::uint8_t xkbFirstEvent_ = 0;
    ModifierBits modifiers_;
    std::map<std::uint32_t, std::uint16_t> modifierKeys_;
    std::function<void()> onKeymapChange_;
};

}  // namespace talvori::x11
