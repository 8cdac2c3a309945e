#include "platform/x11/harness/X11TestWatcher.hpp"

#include "platform/x11/harness/X11TestBus.hpp"

namespace talvori::testing {

const sd_bus_vtable X11TestWatcher::kVTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", X11TestWatcher::registerItem, 0),
    SD_BUS_PROPERTY("IsStatusNotifierHostRegistered", "b", X11TestWatcher::hostRegistered, 0, 0),
    SD_BUS_VTABLE_END};

X11TestWatcher::X11TestWatcher(const X11TestBus& bus) : bus_(bus.connect()) {
    sd_bus_add_object_vtable(bus_, &object_, "/StatusNotifierWatcher",
                             "org.kde.StatusNotifierWatcher", kVTable, this);
    sd_bus_request_name(bus_, "org.kde.StatusNotifierWatcher", 0);
}

X11TestWatcher::~X11TestWatcher() {
    sd_bus_slot_unref(object_);
    sd_bus_flush_close_unref(bus_);
}

void X11TestWatcher::process() {
    processBus(bus_);
}

const std::vector<std::string>& X11TestWatcher::items() {
    process();
    return items_;
}

void X11TestWatcher::activate(const std::string& item, int x, int y) {
    sd_bus_call_method_async(bus_, nullptr, item.c_str(), "/StatusNotifierItem",
                             "org.kde.StatusNotifierItem", "Activate", activationAnswered, this,
                             "ii", x, y);
    sd_bus_flush(bus_);
}

int X11TestWatcher::activationAnswered(sd_bus_message*, void* self, sd_bus_error*) {
    ++static_cast<X11TestWatcher*>(self)->answeredActivations_;
    return 0;
}

int X11TestWatcher::registerItem(sd_bus_message* message, void* self, sd_bus_error*) {
    const char* service = nullptr;
    sd_bus_message_read(message, "s", &service);
    static_cast<X11TestWatcher*>(self)->items_.emplace_back(service ? service : "");
    return sd_bus_reply_method_return(message, "");
}

int X11TestWatcher::hostRegistered(sd_bus*, const char*, const char*, const char*,
                                   sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
}

}  // namespace talvori::testing
