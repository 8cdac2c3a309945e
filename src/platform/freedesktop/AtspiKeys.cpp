#include "platform/freedesktop/AtspiKeys.hpp"

#include <cctype>

namespace talvori::freedesktop {

namespace {

constexpr const char* kRegistry = "org.a11y.atspi.Registry";
constexpr const char* kController = "/org/a11y/atspi/registry/deviceeventcontroller";
// Long enough for a busy reader, short enough that typing never seems to stall.
constexpr std::uint64_t kAnswerMicroseconds = 400'000;

bool isPrintable(const std::string& text) {
    const auto first = static_cast<unsigned char>(text.empty() ? 0 : text.front());
    // Multi-byte characters print; of the single bytes, the graphic ones do.
    return first >= 0x80 || std::isgraph(first);
}

// Readers read a key by what it types, or by its symbol's name ("Tab", "Insert").
std::string nameOf(const AtspiKeys::Keystroke& key) {
    return isPrintable(key.text) ? key.text : key.symbolName;
}

}  // namespace

void AtspiKeys::release() {
    bus_ = nullptr;
    while (!held_.empty()) {
        const Deliver deliver = std::move(held_.front().deliver);
        held_.pop_front();
        if (deliver) deliver();
    }
}

void AtspiKeys::forget() {
    bus_ = nullptr;
    held_.clear();
}

bool AtspiKeys::offer(const Keystroke& key, Deliver deliver) {
    if (!bus_) return false;
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus_, &call, kRegistry, kController,
                                       "org.a11y.atspi.DeviceEventController",
                                       "NotifyListenersSync") < 0) {
        return false;
    }
    const std::string name = nameOf(key);
    // The event's type, symbol, key code, modifiers, time, name and whether it types text.
    const int appended = sd_bus_message_append(
        call, "(uinnisb)", key.down ? 0U : 1U, static_cast<std::int32_t>(key.symbol),
        static_cast<std::int16_t>(key.code), static_cast<std::int16_t>(key.state),
        static_cast<std::int32_t>(key.time), name.c_str(), isPrintable(key.text) ? 1 : 0);
    Held& held = held_.emplace_back(Held{.owner = this, .deliver = std::move(deliver), .call = {}});
    sd_bus_slot* slot = nullptr;
    const bool sent = appended >= 0 && sd_bus_call_async(bus_, &slot, call, onAnswer, &held,
                                                         kAnswerMicroseconds) >= 0;
    sd_bus_message_unref(call);
    if (sent) {
        held.call.reset(slot);
    } else {
        held.answered = true;
        deliverAnswered();
    }
    return true;
}

int AtspiKeys::onAnswer(sd_bus_message* message, void* held, sd_bus_error*) {
    auto& key = *static_cast<Held*>(held);
    int taken = 0;
    if (!sd_bus_message_is_method_error(message, nullptr) &&
        sd_bus_message_read(message, "b", &taken) < 0) {
        taken = 0;
    }
    key.answered = true;
    key.taken = taken != 0;
    key.owner->deliverAnswered();
    return 0;
}

void AtspiKeys::deliverAnswered() {
    while (!held_.empty() && held_.front().answered) {
        const bool taken = held_.front().taken;
        const Deliver deliver = std::move(held_.front().deliver);
        held_.pop_front();
        if (!taken && deliver) deliver();
    }
}

}  // namespace talvori::freedesktop
