#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/core/NotificationCenter.hpp"
#include "platform/desktop/Event.hpp"
#include "platform/desktop/HotKeyService.hpp"

namespace GlobalShortcuts {

class HotKey;
class LocalEventMonitor;

// The single owner of the system registration of hot keys. It registers each HotKey with the
// system's hot-key service, receives their events through one handler and finds the HotKey an
// event belongs to. While a menu of the program tracks, hot keys cannot reach the program, so the
// centre unregisters them and watches the program's key events instead; while disabled it
// unregisters them and watches nothing.
class HotKeyCenter : public std::enable_shared_from_this<HotKeyCenter> {
  public:
    enum class Mode { disabled, normal, menuOpen };

    // "RQHK": stamped into every registered hot key's id.
    static constexpr std::uint32_t kSignature = 0x5251484B;

    // Made on first use and kept for the life of the platform, which owns it.
    static HotKeyCenter& shared();
    static std::shared_ptr<HotKeyCenter> makeShared();
    // The shared centre if it was made (and is not going away).
    static HotKeyCenter* existing();

    ~HotKeyCenter();
    HotKeyCenter(const HotKeyCenter&) = delete;
    HotKeyCenter& operator=(const HotKeyCenter&) = delete;

    // The id for a new hot key: one more than the last (the first is 1).
    std::int64_t nextHotKeyId() { return ++lastHotKeyId_; }

    // Registers with the system and enters it among the centre's hot keys; false when the system
    // refuses (nothing changes then).
    bool registerHotKey(const std::shared_ptr<HotKey>& hotKey);
    // Unregisters `hotKey` from the system and forgets it; a HotKey does this when it goes away,
    // its owner when the combination must be free at once (a hot key firing right now is still
    // held by its dispatch).
    void unregister(HotKey& hotKey);

    bool isEnabled() const { return isEnabled_; }
    void setEnabled(bool enabled);
    bool isMenuOpen() const { return isMenuOpen_; }
    void setMenuOpen(bool menuOpen);
    Mode mode() const { return mode_; }
    bool isHotKeyEventHandlingEnabled() const { return isHotKeyEventHandlingEnabled_; }
    bool isRawKeyEventHandlingEnabled() const { return isRawKeyEventHandlingEnabled_; }

    // The enabled shortcuts of the system itself, as (key code, Carbon modifiers); empty when the
    // list cannot be read.
    std::vector<std::pair<std::int64_t, std::int64_t>> symbolicHotKeys() const;
    // Whether another program holds the combination now: desktops that keep no list of their
    // shortcuts are asked one combination at a time.
    bool isHeldElsewhere(std::int64_t keyCode, std::int64_t modifiers) const;

  private:
    HotKeyCenter() = default;
    void observeMenuTracking();

    std::optional<talvori::HotKeyRef> registerCarbonHotKey(const HotKey& hotKey) const;
    void updateMode();
    void applyMode();
    void registerAll();
    void unregisterAll();
    void setHotKeyEventHandlingEnabled(bool enabled);
    void setRawKeyEventHandlingEnabled(bool enabled);
    // The live hot keys in id order, held for the time of a walk that may drop some.
    std::vector<std::shared_ptr<HotKey>> liveHotKeys() const;

    // A key event of the application while a menu tracks: fires the hot key it matches, and passes
    // the event on whatever happens.
    void handleKeyEvent(const talvori::Event& event);
    std::shared_ptr<HotKey> matchingHotKey(std::int64_t keyCode, std::int64_t modifiers) const;

    static talvori::HotKeyEventResult handleHotKeyEvent(const std::weak_ptr<HotKeyCenter>& center,
                                                        const talvori::HotKeyEvent& event);

    // A pressed hot key's combination, by id, until its release: a release whose hot key was
    // replaced during the press (its shortcut stored anew) goes to the replacement.
    struct Press {
        std::int64_t keyCode;
        std::int64_t modifiers;
    };

    std::shared_ptr<HotKey> liveHotKey(std::int64_t id) const;
    std::shared_ptr<HotKey> liveHotKey(const Press& press) const;

    std::int64_t lastHotKeyId_ = 0;
    std::map<std::int64_t, Press> pressed_;
    // While a menu tracks: the application's key events, and the combination each held key
    // fired, by key code, so that its release ends that press even when the modifiers were let go
    // first.
    std::unique_ptr<LocalEventMonitor> keyEventMonitor_;
    std::map<std::int64_t, Press> pressedKeys_;
    // Held weakly: dropping a HotKey is what unregisters it. Ordered by id, so that when two hot
    // keys match one event the older one fires, every time.
    std::map<std::int64_t, std::weak_ptr<HotKey>> hotKeys_;
    std::optional<talvori::HotKeyHandlerRef> eventHandler_;
    talvori::Registration openMenuObserver_;
    talvori::Registration closeMenuObserver_;
    bool isEnabled_ = true;
    bool isMenuOpen_ = false;
    bool isHotKeyEventHandlingEnabled_ = false;
    bool isRawKeyEventHandlingEnabled_ = false;
    Mode mode_ = Mode::normal;
};

}  // namespace GlobalShortcuts
