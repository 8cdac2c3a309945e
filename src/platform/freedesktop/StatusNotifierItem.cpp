#include "platform/freedesktop/StatusNotifierItem.hpp"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <utility>

#include "platform/freedesktop/SessionBus.hpp"

namespace talvori::freedesktop {

namespace {

constexpr const char* kPath = "/StatusNotifierItem";
constexpr const char* kInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";

template <class T>
std::shared_ptr<T> strong(void* self) {
    return static_cast<T*>(self)->shared_from_this();
}

}  // namespace

// The host reads the properties whole when it learns of us or of a change.
const sd_bus_vtable StatusNotifierItem::kVTable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_PROPERTY("Category", "s", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("Id", "s", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("Title", "s", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("Status", "s", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("WindowId", "i", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("IconName", "s", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("IconThemePath", "s", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("AttentionIconName", "s", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("OverlayIconName", "s", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", StatusNotifierItem::property, 0, 0),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", StatusNotifierItem::property, 0, 0),
    // No menu of its own (no Menu property either): the host sends every click to us.
    SD_BUS_PROPERTY("ItemIsMenu", "b", StatusNotifierItem::property, 0, 0),
    SD_BUS_METHOD("Activate", "ii", "", StatusNotifierItem::onActivate, SD_BUS_VTABLE_UNPRIVILEGED),
    // The panel is the item's only action: a secondary click or a menu request opens it too, so
    // that no click on the item is lost; the wheel does nothing.
    SD_BUS_METHOD("SecondaryActivate", "ii", "", StatusNotifierItem::onActivate,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ContextMenu", "ii", "", StatusNotifierItem::onActivate,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", StatusNotifierItem::onIgnored, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0), SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0), SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0), SD_BUS_SIGNAL("NewStatus", "s", 0), SD_BUS_VTABLE_END};

void StatusNotifierItem::SlotDeleter::operator()(sd_bus_slot* slot) const {
    sd_bus_slot_unref(slot);
}

std::shared_ptr<StatusNotifierItem> StatusNotifierItem::make(std::shared_ptr<SessionBus> bus,
                                                             int number, Handlers handlers,
                                                             Logger log) {
    std::shared_ptr<StatusNotifierItem> item(
        new StatusNotifierItem(std::move(bus), number, std::move(handlers), std::move(log)));
    if (!item->publish()) return nullptr;
    item->registerWithWatcher();
    return item;
}

StatusNotifierItem::StatusNotifierItem(std::shared_ptr<SessionBus> bus, int number,
                                       Handlers handlers, Logger log)
    : bus_(std::move(bus)),
      handlers_(std::move(handlers)),
      log_(std::move(log)),
      serviceName_("org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" +
                   std::to_string(number)) {}

StatusNotifierItem::~StatusNotifierItem() {
    // The host drops the item once its name is gone; a bus that went away took the name with it.
    if (bus_->raw()) {
        sd_bus_release_name_async(bus_->raw(), nullptr, serviceName_.c_str(), nullptr, nullptr);
    }
}

bool StatusNotifierItem::publish() {
    sd_bus* bus = bus_->raw();
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus, &slot, kPath, kInterface, kVTable, this) < 0) return false;
    object_.reset(slot);
    if (sd_bus_request_name_async(bus, &slot, serviceName_.c_str(), 0, nullptr, nullptr) < 0) {
        return false;
    }
    name_.reset(slot);
    // A watcher that starts (or restarts, after a desktop shell restart) knows nothing of us.
    const std::string watcherOwner = SessionBus::ownerChangesMatch(kWatcher);
    if (sd_bus_add_match_async(bus, &slot, watcherOwner.c_str(), onWatcherOwner, nullptr, this) <
        0) {
        return false;
    }
    watcherMatch_.reset(slot);
    const std::string hosts = std::string("type='signal',sender='") + kWatcher +
                              "',interface='org.kde.StatusNotifierWatcher'";
    if (sd_bus_add_match_async(bus, &slot, hosts.c_str(), onHostChanged, nullptr, this) < 0) {
        return false;
    }
    hostMatch_.reset(slot);
    return true;
}

void StatusNotifierItem::registerWithWatcher() {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_method_async(bus_->raw(), &slot, kWatcher, kWatcherPath, kWatcher,
                                 "RegisterStatusNotifierItem", onRegistered, this, "s",
                                 serviceName_.c_str()) >= 0) {
        registration_.reset(slot);
    }
}

void StatusNotifierItem::askForHost() {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_method_async(bus_->raw(), &slot, kWatcher, kWatcherPath,
                                 "org.freedesktop.DBus.Properties", "Get", onHostState, this, "ss",
                                 kWatcher, "IsStatusNotifierHostRegistered") >= 0) {
        hostQuery_.reset(slot);
    }
}

void StatusNotifierItem::setRegistered(bool registered, bool hostRegistered) {
    const bool wasShown = isShown();
    const bool wasSettled = std::exchange(settled_, true);
    registered_ = registered;
    hostRegistered_ = hostRegistered;
    if ((wasShown != isShown() || !wasSettled) && handlers_.shownChanged) {
        handlers_.shownChanged();
    }
}

void StatusNotifierItem::setTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    emit("NewTitle");
    emit("NewToolTip");
}

void StatusNotifierItem::setIcons(std::function<std::vector<Icon>()> icons, ThemedIcon themed) {
    drawIcons_ = std::move(icons);
    icons_.reset();
    themed_ = std::move(themed);
    emit("NewIcon");
    emit("NewAttentionIcon");
}

const std::vector<StatusNotifierItem::Icon>& StatusNotifierItem::icons() {
    if (!icons_) icons_ = drawIcons_ ? drawIcons_() : std::vector<Icon>{};
    return *icons_;
}

void StatusNotifierItem::emit(const char* signal) {
    sd_bus_emit_signal(bus_->raw(), kPath, kInterface, signal, "");
}

// ---- The bus's calls

int StatusNotifierItem::property(sd_bus*, const char*, const char*, const char* name,
                                 sd_bus_message* reply, void* self, sd_bus_error*) {
    auto& item = *static_cast<StatusNotifierItem*>(self);
    const std::string_view property = name;
    if (property == "Category") return sd_bus_message_append(reply, "s", "ApplicationStatus");
    if (property == "Id") return sd_bus_message_append(reply, "s", "talvori");
    if (property == "Title") return sd_bus_message_append(reply, "s", item.title_.c_str());
    if (property == "Status") return sd_bus_message_append(reply, "s", "Active");
    if (property == "WindowId") return sd_bus_message_append(reply, "i", 0);
    // The icon stands for the program's state (an update waiting, say) whatever the status: a
    // host that shows the attention icon shows the same.
    if (property == "IconName" || property == "AttentionIconName") {
        return sd_bus_message_append(reply, "s", item.themed_.name.c_str());
    }
    if (property == "IconThemePath") {
        const std::string path = item.themed_.themePath ? item.themed_.themePath() : "";
        return sd_bus_message_append(reply, "s", path.c_str());
    }
    if (property == "IconPixmap" || property == "AttentionIconPixmap") {
        return appendIcons(reply, item.icons());
    }
    if (property == "OverlayIconPixmap") return appendIcons(reply, {});
    if (property == "ToolTip") {
        int result = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
        if (result >= 0) result = sd_bus_message_append(reply, "s", "");
        if (result >= 0) result = appendIcons(reply, {});
        if (result >= 0) result = sd_bus_message_append(reply, "ss", item.title_.c_str(), "");
        if (result >= 0) result = sd_bus_message_close_container(reply);
        return result;
    }
    if (property == "ItemIsMenu") return sd_bus_message_append(reply, "b", 0);
    // No overlay.
    return sd_bus_message_append(reply, "s", "");
}

int StatusNotifierItem::appendIcons(sd_bus_message* reply, const std::vector<Icon>& icons) {
    int result = sd_bus_message_open_container(reply, 'a', "(iiay)");
    for (const auto& icon : icons) {
        if (result >= 0) result = sd_bus_message_open_container(reply, 'r', "iiay");
        if (result >= 0) result = sd_bus_message_append(reply, "ii", icon.size, icon.size);
        if (result >= 0) {
            result =
                sd_bus_message_append_array(reply, 'y', icon.pixels.data(), icon.pixels.size());
        }
        if (result >= 0) result = sd_bus_message_close_container(reply);
    }
    if (result >= 0) result = sd_bus_message_close_container(reply);
    return result;
}

int StatusNotifierItem::onActivate(sd_bus_message* message, void* self, sd_bus_error*) {
    auto item = strong<StatusNotifierItem>(self);
    std::int32_t x = 0;
    std::int32_t y = 0;
    const int read = sd_bus_message_read(message, "ii", &x, &y);
    // The host hears back at once; the panel opens after.
    const int replied = sd_bus_reply_method_return(message, "");
    if (read >= 0 && item->handlers_.activate) item->handlers_.activate(x, y);
    return replied;
}

int StatusNotifierItem::onIgnored(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "");
}

int StatusNotifierItem::onWatcherOwner(sd_bus_message* message, void* self, sd_bus_error*) {
    auto item = strong<StatusNotifierItem>(self);
    const char* name = nullptr;
    const char* before = nullptr;
    const char* after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0) return 0;
    if (after && *after) {
        item->registerWithWatcher();
    } else {
        item->setRegistered(false, false);
    }
    return 0;
}

int StatusNotifierItem::onRegistered(sd_bus_message* message, void* self, sd_bus_error*) {
    auto item = strong<StatusNotifierItem>(self);
    item->registration_.reset();
    if (sd_bus_message_is_method_error(message, nullptr)) {
        if (!item->noWatcherNoted_) {
            item->noWatcherNoted_ = true;
            const sd_bus_error* error = sd_bus_message_get_error(message);
            item->log_.log("No status notifier watcher (%{public}s)",
                           error && error->name ? error->name : "no answer");
        }
        item->setRegistered(false, false);
        return 0;
    }
    item->registered_ = true;
    item->askForHost();
    return 0;
}

int StatusNotifierItem::onHostChanged(sd_bus_message* message, void* self, sd_bus_error*) {
    auto item = strong<StatusNotifierItem>(self);
    const char* member = sd_bus_message_get_member(message);
    if (member && std::string_view(member).find("Host") != std::string_view::npos &&
        item->registered_) {
        item->askForHost();
    }
    return 0;
}

int StatusNotifierItem::onHostState(sd_bus_message* message, void* self, sd_bus_error*) {
    auto item = strong<StatusNotifierItem>(self);
    item->hostQuery_.reset();
    int host = 0;
    if (!sd_bus_message_is_method_error(message, nullptr)) {
        if (sd_bus_message_read(message, "v", "b", &host) < 0) host = 0;
    }
    item->setRegistered(item->registered_, host != 0);
    return 0;
}

}  // namespace talvori::freedesktop
