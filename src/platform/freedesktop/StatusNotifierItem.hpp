#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Logger.hpp"

namespace talvori::freedesktop {

class SessionBus;

// Our item in the status area of desktops that host items over D-Bus (the status notifier
// protocol): an object on the session bus under a name of its own, announced to the desktop's
// watcher, and announced again whenever a watcher (re)starts. The host draws it from the icon
// theme by name, or from the pixels we publish, and tells us of clicks with the point it was
// clicked at.
class StatusNotifierItem : public std::enable_shared_from_this<StatusNotifierItem> {
  public:
    static constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";

    struct Icon {
        int size = 0;
        // ARGB32, network byte order.
        std::vector<std::uint8_t> pixels;
    };
    // The icon by its name in the icon theme, for hosts that draw it themselves.
    struct ThemedIcon {
        std::string name;
        // Where the host looks for it besides the icon theme; empty when the theme has it. Asked
        // only once a host reads it: finding it searches the icon theme on disk, which most trays
        // never need.
        std::function<std::string()> themePath;
    };
    struct Handlers {
        // A click on the item (any button), in screen pixels as the host reports them.
        std::function<void(int x, int y)> activate;
        // Whether a host shows the item changed, or the watcher first answered.
        std::function<void()> shownChanged;
    };

    // `number` tells our items apart on the bus.
    static std::shared_ptr<StatusNotifierItem> make(std::shared_ptr<SessionBus> bus, int number,
                                                    Handlers handlers, Logger log);
    ~StatusNotifierItem();
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // Registered with a watcher that has a host to show it.
    bool isShown() const { return registered_ && hostRegistered_; }
    // Whether the watcher answered (or is known to be absent) since we asked it.
    bool isSettled() const { return settled_; }
    const std::string& serviceName() const { return serviceName_; }
    void setTitle(const std::string& title);
    // `icons` draws the pixels when a host first reads them: most trays never do.
    void setIcons(std::function<std::vector<Icon>()> icons, ThemedIcon themed);

  private:
    struct SlotDeleter {
        void operator()(sd_bus_slot* slot) const;
    };
    using Slot = std::unique_ptr<sd_bus_slot, SlotDeleter>;

    StatusNotifierItem(std::shared_ptr<SessionBus> bus, int number, Handlers handlers, Logger log);
    bool publish();
    void registerWithWatcher();
    void askForHost();
    void setRegistered(bool registered, bool hostRegistered);
    void emit(const char* signal);
    const std::vector<Icon>& icons();

    // The object's properties, methods and signals on the bus.
    static const sd_bus_vtable kVTable[];
    static int property(sd_bus* bus, const char* path, const char* interface, const char* name,
                        sd_bus_message* reply, void* self, sd_bus_error* error);
    static int appendIcons(sd_bus_message* reply, const std::vector<Icon>& icons);
    static int onActivate(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onIgnored(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onWatcherOwner(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onRegistered(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onHostChanged(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onHostState(sd_bus_message* message, void* self, sd_bus_error* error);

    std::shared_ptr<SessionBus> bus_;
    Handlers handlers_;
    Logger log_;
    std::string serviceName_;
    std::string title_ = "Talvori";
    std::function<std::vector<Icon>()> drawIcons_;
    std::optional<std::vector<Icon>> icons_;
    ThemedIcon themed_;
    bool registered_ = false;
    bool hostRegistered_ = false;
    bool settled_ = false;
    bool noWatcherNoted_ = false;
    Slot object_;
    Slot name_;
    Slot watcherMatch_;
    Slot hostMatch_;
    Slot registration_;
    Slot hostQuery_;
};

}  // namespace talvori::freedesktop
