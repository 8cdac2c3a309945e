#pragma once

#include <systemd/sd-bus.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/freedesktop/AtspiTree.hpp"
#include "platform/freedesktop/BusSlot.hpp"
#include "platform/freedesktop/ScreenRect.hpp"

namespace talvori::freedesktop {

// The interfaces readers call on our objects over the accessibility bus: Accessible for every
// object, Application for the root, Component for windows and elements, and Action, Value, Text
// and EditableText for the elements that have what they are about. Calls that act (an action, a
// new value, an edit, the focus) act at once, as the user's press or typing would.
class AtspiObjects {
  public:
    // What the objects are read from.
    class Source {
      public:
        virtual ~Source() = default;
        // The object at `path`, its window's elements read again when its views changed; null
        // when there is none.
        virtual const AtspiTree::Object* object(const char* path) = 0;
        // The object's children; a window's elements are read when a reader first asks.
        virtual const std::vector<AtspiTree::Id>& children(const AtspiTree::Object& object) = 0;
        virtual const AtspiTree& tree() const = 0;
        // Where the object is, in pixels from the top left of the screen.
        virtual ScreenRect extents(const AtspiTree::Object& object) const = 0;
        virtual bool grabFocus(const AtspiTree::Object& object) = 0;
        // Our unique name on the accessibility bus.
        virtual const char* busName() const = 0;
        // The registry's desktop: the application's parent (bus name and path).
        virtual std::pair<std::string, std::string> desktop() const = 0;
        // The number the registry gave the application.
        virtual int& applicationId() = 0;
        // Brings every window's elements up to date, for a reader that takes them all at once.
        virtual void readAll() = 0;
        // Where a reader may call us straight rather than through the bus; empty for the bus.
        virtual std::string peerAddress() { return {}; }
    };

    static constexpr const char* kToolkitName = "Talvori";
    static constexpr const char* kCachePath = "/org/a11y/atspi/cache";
    static constexpr const char* kCacheInterface = "org.a11y.atspi.Cache";
    // What readers cache of an object, as the cache's items and its added objects carry it:
    // the object, its application and its parent, its index there and its number of children
    // (-1 when not known yet), its interfaces, name, role, description and states.
    static constexpr const char* kCacheItem = "((so)(so)(so)iiassusau)";

    // Serves the interfaces for every object of `source` on `bus` while `slots` hold them.
    static bool install(sd_bus* bus, Source& source, std::vector<BusSlot>& slots);

    static const char* roleName(AtspiTree::Role role);
    static const char* stateName(AtspiTree::State state);
    // Appends the object as readers cache it (kCacheItem).
    static int appendCacheItem(sd_bus_message* message, Source& source,
                               const AtspiTree::Object& object);
    // The interfaces an object offers.
    static std::vector<const char*> interfacesOf(const AtspiTree::Object& object);
    static bool hasValue(const AtspiTree::Object& object);
};

}  // namespace talvori::freedesktop
