#include "platform/x11/X11MotionPreference.hpp"

#include <cstring>

#include "platform/core/weakly.hpp"
#include "platform/freedesktop/SessionBus.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11XSettings.hpp"

namespace talvori::x11 {

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPath = "/org/freedesktop/portal/desktop";
constexpr const char* kInterface = "org.freedesktop.portal.Settings";
constexpr const char* kNamespace = "org.gnome.desktop.interface";
constexpr const char* kKey = "enable-animations";

}  // namespace

void X11MotionPreference::SlotDeleter::operator()(sd_bus_slot* slot) const {
    sd_bus_slot_unref(slot);
}

std::shared_ptr<X11MotionPreference> X11MotionPreference::make(
    std::shared_ptr<X11Connection> connection, std::shared_ptr<freedesktop::SessionBus> bus) {
    std::shared_ptr<X11MotionPreference> preference(
        new X11MotionPreference(std::move(connection), std::move(bus)));
    preference->settings_->follow({});
    if (preference->bus_) {
        preference->busConnection_ = preference->bus_->observeConnection(
            weakly(preference->weak_from_this(), &X11MotionPreference::busChanged));
        preference->follow();
    }
    return preference;
}

X11MotionPreference::X11MotionPreference(std::shared_ptr<X11Connection> connection,
                                         std::shared_ptr<freedesktop::SessionBus> bus)
    : settings_(std::make_shared<X11XSettings>(std::move(connection))), bus_(std::move(bus)) {}

X11MotionPreference::~X11MotionPreference() = default;

bool X11MotionPreference::reducesMotion() const {
    if (const auto animations = settings_->followedInteger("Gtk/EnableAnimations")) {
        return *animations == 0;
    }
    return storedAnimations_ && !*storedAnimations_;
}

void X11MotionPreference::subscribe(X11EventRouter& router) {
    settings_->subscribe(router);
}

void X11MotionPreference::busChanged() {
    read_.reset();
    changes_.reset();
    owner_.reset();
    storedAnimations_.reset();
    if (bus_->isConnected()) follow();
}

void X11MotionPreference::follow() {
    sd_bus* bus = bus_->raw();
    sd_bus_slot* slot = nullptr;
    const std::string changes =
        std::string("type='signal',sender='") + kPortal + "',path='" + kPath + "',interface='" +
        kInterface + "',member='SettingChanged',arg0='" + kNamespace + "',arg1='" + kKey + "'";
    if (sd_bus_add_match_async(bus, &slot, changes.c_str(), onChanged, nullptr, this) >= 0) {
        changes_.reset(slot);
    }
    // A portal that starts after us is asked then.
    const std::string owner = freedesktop::SessionBus::ownerChangesMatch(kPortal);
    if (sd_bus_add_match_async(bus, &slot, owner.c_str(), onPortalOwner, nullptr, this) >= 0) {
        owner_.reset(slot);
    }
    read();
}

void X11MotionPreference::read() {
    sd_bus* bus = bus_->raw();
    sd_bus_slot* slot = nullptr;
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, kPortal, kPath, kInterface, "Read") < 0) return;
    sd_bus_message_set_auto_start(call, 0);
    if (sd_bus_message_append(call, "ss", kNamespace, kKey) >= 0 &&
        sd_bus_call_async(bus, &slot, call, onRead, this, 0) >= 0) {
        read_.reset(slot);
    }
    sd_bus_message_unref(call);
}

std::optional<bool> X11MotionPreference::animations(sd_bus_message* message) {
    // Read answers a variant holding a variant; the change signal, one variant.
    for (int depth = 0; depth < 3; ++depth) {
        char type = 0;
        const char* contents = nullptr;
        if (sd_bus_message_peek_type(message, &type, &contents) <= 0) return std::nullopt;
        if (type == SD_BUS_TYPE_BOOLEAN) {
            int value = 0;
            if (sd_bus_message_read_basic(message, SD_BUS_TYPE_BOOLEAN, &value) < 0) break;
            return value != 0;
        }
        if (type != SD_BUS_TYPE_VARIANT ||
            sd_bus_message_enter_container(message, SD_BUS_TYPE_VARIANT, contents) < 0) {
            break;
        }
    }
    return std::nullopt;
}

int X11MotionPreference::onRead(sd_bus_message* message, void* self, sd_bus_error*) {
    auto preference = static_cast<X11MotionPreference*>(self)->shared_from_this();
    preference->read_.reset();
    if (!sd_bus_message_is_method_error(message, nullptr)) {
        preference->storedAnimations_ = animations(message);
    }
    return 0;
}

int X11MotionPreference::onPortalOwner(sd_bus_message* message, void* self, sd_bus_error*) {
    const char* name = nullptr;
    const char* before = nullptr;
    const char* after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) >= 0 && after && *after) {
        static_cast<X11MotionPreference*>(self)->read();
    }
    return 0;
}

int X11MotionPreference::onChanged(sd_bus_message* message, void* self, sd_bus_error*) {
    auto preference = static_cast<X11MotionPreference*>(self)->shared_from_this();
    const char* space = nullptr;
    const char* key = nullptr;
    if (sd_bus_message_read(message, "ss", &space, &key) < 0) return 0;
    if (space && key && std::strcmp(space, kNamespace) == 0 && std::strcmp(key, kKey) == 0) {
        preference->storedAnimations_ = animations(message);
    }
    return 0;
}

}  // namespace talvori::x11
