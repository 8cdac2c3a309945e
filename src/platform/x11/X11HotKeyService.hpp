#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "platform/core/Logger.hpp"
#include "platform/desktop/EventTap.hpp"
#include "platform/desktop/HotKeyService.hpp"

namespace talvori::x11 {

class X11Connection;
class X11Keyboard;

// Hot keys as passive key grabs on the root window: one grab per X key of the virtual key code and
// per combination of the lock modifiers (Caps, Num, Scroll), so that they fire whatever the locks.
// A grab another client holds fails with BadAccess: the combination is taken. X keeps no list of
// the desktop's shortcuts, so a combination is found taken by trying to grab it and letting go at
// once. The modifier bits come from the server's modifier map and the grabs are made again when
// it changes.
class X11HotKeyService final : public HotKeyService {
  public:
    X11HotKeyService(std::shared_ptr<X11Connection> connection,
                     std::shared_ptr<X11Keyboard> keyboard, Logger log);
    ~X11HotKeyService() override;

    std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                            HotKeyID id) override;
    void unregisterHotKey(HotKeyRef ref) override;
    std::optional<HotKeyHandlerRef> installEventHandler(Handler handler) override;
    void setHandlerEnabled(HotKeyHandlerRef handler, bool enabled) override;
    std::optional<std::vector<SymbolicHotKey>> symbolicHotKeys() const override;
    bool isHeldElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) override;
    void setKeyboardCaptured(bool captured) override;

    // Whether one of the program's panels holds the keyboard itself: the capture then leaves the
    // keyboard to it when it ends, since the server knows one keyboard grab per client.
    void setPanelHoldsKeyboard(std::function<bool()> holds) {
        panelHoldsKeyboard_ = std::move(holds);
    }

    // Makes a listen-only tap of key releases wherever they go (XInput 2 raw events).
    using KeyUpTapMaker = std::function<std::shared_ptr<EventTap>(EventTap::Callback)>;
    void setKeyUpTapMaker(KeyUpTapMaker maker) { makeKeyUpTap_ = std::move(maker); }
    // A key event of the session: true when it belongs to a hot key (it then goes nowhere else).
    bool handleKey(const xcb_key_press_event_t& key, bool down);
    // The keymap or the modifier map changed: grab everything again with the new bits.
    void keymapChanged();

  private:
    struct Grab {
        xcb_keycode_t key;
        std::uint16_t modifiers;
        bool operator<(const Grab& other) const {
            return key != other.key ? key < other.key : modifiers < other.modifiers;
        }
    };
    struct Registered {
        std::uint32_t keyCode;
        std::uint32_t carbonModifiers;
        HotKeyID id;
        std::vector<Grab> grabs;
    };
    struct InstalledHandler {
        Handler handler;
        bool enabled = false;
    };

    struct Outcome {
        bool failed = false;
        bool taken = false;
    };

    std::optional<std::uint16_t> xModifiers(std::uint32_t carbonModifiers) const;
    std::vector<std::uint16_t> lockCombinations() const;
    // Every X key and lock combination the hot key needs; none when it cannot be expressed.
    std::optional<std::vector<Grab>> combinations(std::uint32_t keyCode,
                                                  std::uint32_t carbonModifiers) const;
    Outcome tryGrabs(const std::vector<Grab>& grabs);
    // Grabs every key and lock combination; all or none.
    std::optional<std::vector<Grab>> grab(std::uint32_t keyCode, std::uint32_t carbonModifiers);
    void ungrab(const std::vector<Grab>& grabs);
    bool holds(const Grab& grab) const;
    void deliver(HotKeyEventKind kind, HotKeyID id);
    void watchReleases();
    void sawKeyUp(const Event& event);
    void stopWatchingReleases();

    std::shared_ptr<X11Connection> connection_;
    std::shared_ptr<X11Keyboard> keyboard_;
    Logger log_;
    std::uint64_t nextRef_ = 1;
    std::map<std::uint64_t, Registered> registered_;
    std::map<std::uint64_t, InstalledHandler> handlers_;
    // The id whose press each held X key fired.
    std::map<xcb_keycode_t, HotKeyID> pressed_;
    // A held hot key's release goes to whoever has the keyboard when it comes: to another program
    // when the press closed a panel of ours that held the keyboard. The tap sees it there; without
    // it the key would stay held for us, and its next press would pass for a repeat.
    KeyUpTapMaker makeKeyUpTap_;
    std::shared_ptr<EventTap> keyUpTap_;
    // Keys whose release the tap told before the server's own release event came.
    std::set<xcb_keycode_t> releaseTold_;
    std::function<bool()> panelHoldsKeyboard_;
    bool keyboardCaptured_ = false;
};

}  // namespace talvori::x11
