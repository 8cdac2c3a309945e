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

void X11TestWatcher::click(const std::string& item, const char* method, int x, int y) {
    sd_bus_call_method_async(bus_, nullptr, item.c_str(), "/StatusNotifierItem",
                             "org.kde.StatusNotifierItem", method, activationAnswered, this, "ii",
                             x, y);
    sd_bus_flush(bus_);
}

void X11TestWatcher::readLook(const std::string& item) {
    look_.reset();
    sd_bus_call_method_async(bus_, nullptr, item.c_str(), "/StatusNotifierItem",
                             "org.freedesktop.DBus.Properties", "GetAll", propertiesAnswered, this,
                             "s", "org.kde.StatusNotifierItem");
    sd_bus_flush(bus_);
}

int X11TestWatcher::propertiesAnswered(sd_bus_message* reply, void* self, sd_bus_error*) {
    Look look;
    if (sd_bus_message_enter_container(reply, 'a', "{sv}") > 0) {
        while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
            readProperty(reply, look);
            sd_bus_message_exit_container(reply);
        }
        sd_bus_message_exit_container(reply);
    }
    static_cast<X11TestWatcher*>(self)->look_ = look;
    return 0;
}

void X11TestWatcher::readProperty(sd_bus_message* reply, Look& look) {
    const char* name = nullptr;
    if (sd_bus_message_read(reply, "s", &name) < 0 || !name) return;
    const std::string property = name;
    const char* text = nullptr;
    int flag = 0;
    if (property == "IconName" && sd_bus_message_read(reply, "v", "s", &text) >= 0) {
        look.iconName = text;
    } else if (property == "IconThemePath" && sd_bus_message_read(reply, "v", "s", &text) >= 0) {
        look.iconThemePath = text;
    } else if (property == "ItemIsMenu" && sd_bus_message_read(reply, "v", "b", &flag) >= 0) {
        look.itemIsMenu = flag != 0;
    } else if (property == "IconPixmap" &&
               sd_bus_message_enter_container(reply, 'v', "a(iiay)") > 0) {
        sd_bus_message_enter_container(reply, 'a', "(iiay)");
        while (sd_bus_message_skip(reply, "(iiay)") > 0) ++look.pixmaps;
        sd_bus_message_exit_container(reply);
        sd_bus_message_exit_container(reply);
    } else {
        look.hasMenu = look.hasMenu || property == "Menu";
        sd_bus_message_skip(reply, "v");
    }
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
