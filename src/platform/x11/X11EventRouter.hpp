#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace talvori::x11 {

// Which handlers an event goes to, found by its type (and a PropertyNotify by its atom) with an
// array index or a search in a short sorted list: a service hears only the events it subscribed
// to, in the order the subscriptions were made. A handler is a plain function and an owner, so
// routing an event allocates nothing; the owners must outlive the router.
class X11EventRouter {
  public:
    // `Method` is a member of `Owner` taking the event as its own XCB type (the generic event
    // too); one that returns bool takes the event when it returns true, and no later handler
    // hears of it.
    template <auto Method, class Owner>
    void on(std::uint8_t type, Owner& owner) {
        byType_[type & 0x7F].push_back(bind<Method>(owner));
    }
    // A PropertyNotify of `atom`, on any window.
    template <auto Method, class Owner>
    void onProperty(xcb_atom_t atom, Owner& owner) {
        addProperty(atom, bind<Method>(owner));
    }

    // Whether a handler took `event`.
    bool route(const xcb_generic_event_t& event) const;

#ifndef NDEBUG
    // The events of `type` that reached no handler: a window selects more events than any
    // service reads, each one a wake-up for nothing.
    std::uint64_t unheard(std::uint8_t type) const {
        return unheard_[type & 0x7F];
    }
#endif

  private:
    struct Handler {
        void* owner;
        bool (*call)(void* owner, const xcb_generic_event_t& event);
    };

    template <class Member>
    struct EventOf;
    template <class Result, class Class, class Event>
    struct EventOf<Result (Class::*)(const Event&)> {
        using type = Event;
    };

    template <auto Method, class Owner>
    static Handler bind(Owner& owner) {
        return {&owner, [](void* self, const xcb_generic_event_t& event) {
                    using Event = typename EventOf<decltype(Method)>::type;
                    auto& target = *static_cast<Owner*>(self);
                    const auto& typed = reinterpret_cast<const Event&>(event);
                    if constexpr (std::is_same_v<decltype((target.*Method)(typed)), bool>) {
                        return (target.*Method)(typed);
                    } else {
                        (target.*Method)(typed);
                        return false;
                    }
                }};
    }

    void addProperty(xcb_atom_t atom, Handler handler);
    static bool callEach(const Handler* first, const Handler* last,
                         const xcb_generic_event_t& event);
    bool routeProperty(const xcb_generic_event_t& event, bool& heard) const;

    std::array<std::vector<Handler>, 128> byType_;
    // Sorted by atom; the handlers of one atom in the order they subscribed.
    std::vector<std::pair<xcb_atom_t, Handler>> byAtom_;
#ifndef NDEBUG
    mutable std::array<std::uint64_t, 128> unheard_{};
#endif
};

}  // namespace talvori::x11
