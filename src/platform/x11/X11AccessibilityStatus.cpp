#include "platform/x11/X11AccessibilityStatus.hpp"

#include <cstring>
#include <string>

#include "platform/core/weakly.hpp"
#include "platform/x11/X11SessionBus.hpp"

namespace talvori::x11 {

namespace {

constexpr const char* kService = "org.a11y.Bus";
constexpr const char* kPath = "/org/a11y/bus";
constexpr const char* kInterface = "org.a11y.Status";

}  // namespace

std::shared_ptr<X11AccessibilityStatus> X11AccessibilityStatus::make(
    std::shared_ptr<X11SessionBus> bus) {
    std::shared_ptr<X11AccessibilityStatus> status(new X11AccessibilityStatus(std::move(bus)));
    if (status->bus_) {
        status->busConnection_ = status->bus_->observeConnection(
            weakly(status->weak_from_this(), &X11AccessibilityStatus::busChanged));
        if (status->bus_->isConnected()) status->follow();
    }
    return status;
}

X11AccessibilityStatus::X11AccessibilityStatus(std::shared_ptr<X11SessionBus> bus)
    : bus_(std::move(bus)) {}

Registration X11AccessibilityStatus::observe(std::function<void()> onChange) const {
    return changes_.observe(std::move(onChange));
}

void X11AccessibilityStatus::busChanged() {
    query_.reset();
    propertiesMatch_.reset();
    ownerMatch_.reset();
    if (bus_->isConnected()) follow();
    update(false, false);
}

void X11AccessibilityStatus::follow() {
    sd_bus* bus = bus_->raw();
    sd_bus_slot* slot = nullptr;
    const std::string changes = std::string("type='signal',sender='") + kService + "',path='" +
                                kPath +
                                "',interface='org.freedesktop.DBus.Properties',"
                                "member='PropertiesChanged',arg0='" +
                                kInterface + "'";
    if (sd_bus_add_match_async(bus, &slot, changes.c_str(), onChanged, nullptr, this) >= 0) {
        propertiesMatch_.reset(slot);
    }
    // The accessibility bus may start (or restart) after us.
    const std::string owner = X11SessionBus::ownerChangesMatch(kService);
    if (sd_bus_add_match_async(bus, &slot, owner.c_str(), onChanged, nullptr, this) >= 0) {
        ownerMatch_.reset(slot);
    }
    askForState();
}

void X11AccessibilityStatus::askForState() {
    sd_bus* bus = bus_->raw();
    sd_bus_message* call = nullptr;
    if (!bus || sd_bus_message_new_method_call(bus, &call, kService, kPath,
                                               "org.freedesktop.DBus.Properties", "GetAll") < 0) {
        return;
    }
    // Asking must not start the accessibility bus on a desktop that has it off.
    sd_bus_message_set_auto_start(call, 0);
    sd_bus_slot* slot = nullptr;
    if (sd_bus_message_append(call, "s", kInterface) >= 0 &&
        sd_bus_call_async(bus, &slot, call, onState, this, 0) >= 0) {
        query_.reset(slot);
    }
    sd_bus_message_unref(call);
}

// A reply that is an error (no such service) or that cannot be read means nobody reads.
int X11AccessibilityStatus::onState(sd_bus_message* message, void* self, sd_bus_error*) {
    auto status = static_cast<X11AccessibilityStatus*>(self)->shared_from_this();
    status->query_.reset();
    bool enabled = false;
    bool screenReader = false;
    if (!sd_bus_message_is_method_error(message, nullptr) &&
        sd_bus_message_enter_container(message, 'a', "{sv}") >= 0) {
        while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
            const char* name = nullptr;
            int value = 0;
            if (sd_bus_message_read(message, "s", &name) < 0) break;
            if (sd_bus_message_read(message, "v", "b", &value) < 0) {
                if (sd_bus_message_skip(message, "v") < 0) break;
            } else if (std::strcmp(name, "IsEnabled") == 0) {
                enabled = value != 0;
            } else if (std::strcmp(name, "ScreenReaderEnabled") == 0) {
                screenReader = value != 0;
            }
            if (sd_bus_message_exit_container(message) < 0) break;
        }
    }
    status->update(enabled, screenReader);
    return 0;
}

int X11AccessibilityStatus::onChanged(sd_bus_message*, void* self, sd_bus_error*) {
    static_cast<X11AccessibilityStatus*>(self)->askForState();
    return 0;
}

void X11AccessibilityStatus::update(bool enabled, bool screenReader) {
    if (enabled == enabled_ && screenReader == screenReader_) return;
    enabled_ = enabled;
    screenReader_ = screenReader;
    changes_.notify();
}

}  // namespace talvori::x11
