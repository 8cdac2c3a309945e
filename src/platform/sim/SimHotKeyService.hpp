#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "platform/desktop/Event.hpp"
#include "platform/desktop/HotKeyService.hpp"

namespace talvori::sim {

// The simulated system hot-key service: a registration table shared with other simulated
// programs, event handlers, the system's own shortcuts, and the typed keys that become hot-key
// events. Faults can be injected.
class SimHotKeyService final : public HotKeyService {
  public:
    struct Combination {
        std::uint32_t keyCode = 0;
        std::uint32_t modifiers = 0;
        auto operator<=>(const Combination&) const = default;
    };
    struct Registration {
        Combination combination;
        HotKeyID id;
    };
    enum class CallKind { registered, refused, unregistered };
    struct Call {
        CallKind kind;
        Combination combination;
        HotKeyID id;
    };

    std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                            HotKeyID id) override;
    void unregisterHotKey(HotKeyRef ref) override;
    std::optional<HotKeyHandlerRef> installEventHandler(Handler handler) override;
    void setHandlerEnabled(HotKeyHandlerRef handler, bool enabled) override;
    std::optional<std::vector<SymbolicHotKey>> symbolicHotKeys() const override;
    bool isHeldElsewhere(std::uint32_t keyCode, std::uint32_t modifiers) override;
    void setKeyboardCaptured(bool captured) override { keyboardCaptured_ = captured; }
    bool isKeyboardCaptured() const { return keyboardCaptured_; }

    // A key typed on the simulated keyboard, with its Carbon modifiers. Consumed (true) when it is
    // a registered combination: the press becomes a pressed event. A repeat of a held hot key is
    // consumed without an event. The modifiers must equal the registered ones exactly; Caps Lock
    // is not among them, so it never matters.
    bool keyDown(std::uint32_t keyCode, std::uint32_t carbonModifiers, bool isRepeat = false);
    // Consumed when it ends a hot-key press of the same key, whatever modifiers are still held.
    bool keyUp(std::uint32_t keyCode);
    // Claims a key typed on the simulated keyboard when it is a registered combination (or the
    // release or repeat of one); for the keyboard's interceptor.
    static bool intercept(const std::weak_ptr<SimHotKeyService>& service, const Event& event);
    // Delivers an event as if the system had sent it (a foreign signature, an unknown id).
    HotKeyEventResult deliver(const HotKeyEvent& event);

    // Another simulated program holds `combination`: registering it is refused.
    void holdForOtherProgram(Combination combination) { heldElsewhere_.insert(combination); }
    void releaseFromOtherProgram(Combination combination) { heldElsewhere_.erase(combination); }
    // Refuses every registration while set.
    void setRefusesRegistrations(bool refuses) { refusesAll_ = refuses; }
    // Handlers cannot be installed while set (no event target).
    void setHandlerInstallationFails(bool fails) { handlerInstallationFails_ = fails; }
    void setSymbolicHotKeys(std::vector<SymbolicHotKey> hotKeys) { symbolic_ = std::move(hotKeys); }
    // The list of system shortcuts cannot be read while set.
    void setSymbolicHotKeysFail(bool fail) { symbolicFails_ = fail; }

    // Every registration in force, by combination.
    std::vector<Registration> registrations() const;
    bool isRegistered(Combination combination) const;
    const std::vector<Call>& calls() const { return calls_; }
    std::size_t registerCount(Combination combination) const;
    std::size_t unregisterCount(Combination combination) const;
    std::size_t handlerCount() const { return handlers_.size(); }
    bool isHandlerEnabled(HotKeyHandlerRef handler) const;

  private:
    struct InstalledHandler {
        Handler handler;
        bool enabled = false;
    };

    std::optional<HotKeyID> match(std::uint32_t keyCode, std::uint32_t carbonModifiers) const;
    std::size_t countCalls(CallKind kind, Combination combination) const;

    std::uint64_t nextRef_ = 1;
    std::map<std::uint64_t, Registration> registrations_;
    std::map<std::uint64_t, InstalledHandler> handlers_;
    std::set<Combination> heldElsewhere_;
    // The id whose press each held key fired, by key code.
    std::map<std::uint32_t, HotKeyID> pressed_;
    std::vector<SymbolicHotKey> symbolic_;
    std::vector<Call> calls_;
    bool refusesAll_ = false;
    bool handlerInstallationFails_ = false;
    bool symbolicFails_ = false;
    bool keyboardCaptured_ = false;
};

}  // namespace talvori::sim
