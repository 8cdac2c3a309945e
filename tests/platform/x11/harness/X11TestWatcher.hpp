#pragma once

#include <systemd/sd-bus.h>

#include <optional>
#include <string>
#include <vector>

namespace talvori::testing {

class X11TestBus;

// The desktop's side of the status notifier protocol on a test bus: the watcher that items
// register with, which says a host shows them, and the host's clicks. The caller handles what
// arrives (process()) whenever descriptor() is readable, or polls.
class X11TestWatcher {
  public:
    explicit X11TestWatcher(const X11TestBus& bus);
    ~X11TestWatcher();
    X11TestWatcher(const X11TestWatcher&) = delete;
    X11TestWatcher& operator=(const X11TestWatcher&) = delete;

    int descriptor() const { return sd_bus_get_fd(bus_); }
    void process();
    // The items registered so far (their bus names), what arrived handled first.
    const std::vector<std::string>& items();
    // Clicks `item` at root `x`, `y`, as a host does: by a call, not through the X server. The
    // call is sent at once; its answer is not waited for.
    void activate(const std::string& item, int x, int y) { click(item, "Activate", x, y); }
    // The same with another of the item's click methods (SecondaryActivate, ContextMenu).
    void click(const std::string& item, const char* method, int x, int y);
    // How many of those calls the item has answered, each once it has handled it.
    int answeredActivations() const { return answeredActivations_; }

    // What a host draws the item from, and whether it offers a menu.
    struct Look {
        std::string iconName;
        std::string iconThemePath;
        int pixmaps = 0;
        bool itemIsMenu = true;
        bool hasMenu = false;
    };
    // Reads all of `item`'s properties, as a host does when it shows it; look() has them once
    // answered.
    void readLook(const std::string& item);
    const std::optional<Look>& look() const { return look_; }

  private:
    static int registerItem(sd_bus_message* message, void* self, sd_bus_error* error);
    static int hostRegistered(sd_bus* bus, const char* path, const char* interface,
                              const char* property, sd_bus_message* reply, void* self,
                              sd_bus_error* error);
    static int activationAnswered(sd_bus_message* reply, void* self, sd_bus_error* error);
    static int propertiesAnswered(sd_bus_message* reply, void* self, sd_bus_error* error);
    static void readProperty(sd_bus_message* reply, Look& look);
    static const sd_bus_vtable kVTable[];

    sd_bus* bus_;
    sd_bus_slot* object_ = nullptr;
    std::vector<std::string> items_;
    int answeredActivations_ = 0;
    std::optional<Look> look_;
};

}  // namespace talvori::testing
