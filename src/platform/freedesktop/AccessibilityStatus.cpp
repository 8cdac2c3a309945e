#include "platform/freedesktop/AccessibilityStatus.hpp"

#include <cstring>
#include <string>

#include "platform/core/weakly.hpp"
#include "platform/freedesktop/SessionBus.hpp"

namespace talvori::freedesktop {

namespace {

constexpr const char* kService = "org.a11y.Bus";
constexpr const char* kPath = "/org/a11y/bus";
constexpr const char* kInterface = "org.a11y.Status";

}  // namespace

std::shared_ptr<AccessibilityStatus> AccessibilityStatus::make(std::shared_ptr<SessionBus> bus) {
    std::shared_ptr<AccessibilityStatus> status(new AccessibilityStatus(std::move(bus)));
    if (status->bus_) {
        status->busConnection_ = status->bus_->observeConnection(
            weakly(status->weak_from_this(), &AccessibilityStatus::busChanged));
        if (status->bus_->isConnected()) status->follow();
    }
    return status;
}

AccessibilityStatus::AccessibilityStatus(std::shared_ptr<SessionBus> bus) : bus_(std::move(bus)) {}

Registration AccessibilityStatus::observe(std::function<void()> onChange) const {
    return changes_.observe(std::move(onChange));
}

void AccessibilityStatus::busChanged() {
    query_.reset();
    propertiesMatch_.reset();
    ownerMatch_.reset();
    if (bus_->isConnected()) follow();
    update(false, false);
}

void AccessibilityStatus::follow() {
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
    const std::string owner = SessionBus::ownerChangesMatch(kService);
    if (sd_bus_add_match_async(bus, &slot, owner.c_str(), onChanged, nullptr, this) >= 0) {
        ownerMatch_.reset(slot);
    }
    askForState();
}

void AccessibilityStatus::askForState() {
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
int AccessibilityStatus::onState(sd_bus_message* message, void* self, sd_bus_error*) {
    auto status = static_cast<AccessibilityStatus*>(self)->shared_from_this();
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

int AccessibilityStatus::onChanged(sd_bus_message*, void* self, sd_bus_error*) {
    static_cast<AccessibilityStatus*>(self)->askForState();
    return 0;
}

void AccessibilityStatus::update(bool enabled, bool screenReader) {
    if (enabled == enabled_ && screenReader == screenReader_) return;
    enabled_ = enabled;
    screenReader_ = screenReader;
    changes_.notify();
}

}  // namespace talvori::freedesktop
