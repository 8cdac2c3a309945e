#include "platform/x11/X11Announcer.hpp"

#include <poll.h>
#include <speech-dispatcher/libspeechd.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/core/weakly.hpp"
#include "platform/x11/X11SessionBus.hpp"

namespace talvori::x11 {

namespace {

constexpr const char* kService = "org.a11y.Bus";
constexpr const char* kPath = "/org/a11y/bus";
constexpr const char* kInterface = "org.a11y.Status";
constexpr const char* kProperty = "ScreenReaderEnabled";

// The speech service answers in milliseconds; one that stops answering must not hold up the
// program, which waits for its answers.
constexpr timeval kAnswerTimeout{0, 300000};

SPDConnection* connection(void* speech) {
    return static_cast<SPDConnection*>(speech);
}

}  // namespace

void X11Announcer::SlotDeleter::operator()(sd_bus_slot* slot) const {
    sd_bus_slot_unref(slot);
}

std::shared_ptr<X11Announcer> X11Announcer::make(std::shared_ptr<X11SessionBus> bus, Logger log) {
    std::shared_ptr<X11Announcer> announcer(new X11Announcer(std::move(bus), std::move(log)));
    if (announcer->bus_) {
        announcer->busConnection_ = announcer->bus_->observeConnection(
            weakly(announcer->weak_from_this(), &X11Announcer::busChanged));
        announcer->follow();
    }
    return announcer;
}

X11Announcer::X11Announcer(std::shared_ptr<X11SessionBus> bus, Logger log)
    : bus_(std::move(bus)), log_(std::move(log)) {}

X11Announcer::~X11Announcer() {
    hangUp();
}

void X11Announcer::busChanged() {
    query_.reset();
    changes_.reset();
    owner_.reset();
    screenReader_ = false;
    hangUp();
    if (bus_->isConnected()) follow();
}

void X11Announcer::follow() {
    sd_bus* bus = bus_->raw();
    sd_bus_slot* slot = nullptr;
    const std::string changes = std::string("type='signal',sender='") + kService + "',path='" +
                                kPath +
                                "',interface='org.freedesktop.DBus.Properties',"
                                "member='PropertiesChanged',arg0='" +
                                kInterface + "'";
    if (sd_bus_add_match_async(bus, &slot, changes.c_str(), onChanged, nullptr, this) >= 0) {
        changes_.reset(slot);
    }
    // The accessibility bus may start (or restart) after us.
    const std::string owner = X11SessionBus::ownerChangesMatch(kService);
    if (sd_bus_add_match_async(bus, &slot, owner.c_str(), onChanged, nullptr, this) >= 0) {
        owner_.reset(slot);
    }
    askForState();
}

void X11Announcer::askForState() {
    sd_bus* bus = bus_->raw();
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, kService, kPath,
                                       "org.freedesktop.DBus.Properties", "Get") < 0) {
        return;
    }
    // Asking must not start the accessibility bus on a desktop that has it off.
    sd_bus_message_set_auto_start(call, 0);
    sd_bus_slot* slot = nullptr;
    if (sd_bus_message_append(call, "ss", kInterface, kProperty) >= 0 &&
        sd_bus_call_async(bus, &slot, call, onState, this, 0) >= 0) {
        query_.reset(slot);
    }
    sd_bus_message_unref(call);
}

int X11Announcer::onState(sd_bus_message* message, void* self, sd_bus_error*) {
    auto announcer = static_cast<X11Announcer*>(self)->shared_from_this();
    announcer->query_.reset();
    int enabled = 0;
    if (!sd_bus_message_is_method_error(message, nullptr) &&
        sd_bus_message_read(message, "v", "b", &enabled) < 0) {
        enabled = 0;
    }
    announcer->screenReader_ = enabled != 0;
    if (!announcer->screenReader_) announcer->hangUp();
    return 0;
}

int X11Announcer::onChanged(sd_bus_message*, void* self, sd_bus_error*) {
    static_cast<X11Announcer*>(self)->askForState();
    return 0;
}

// ---- Speaking

void X11Announcer::announce(const std::string& text, int priority) {
    if (!screenReader_ || text.empty() || stuck_) return;
    Outcome outcome = speak(text, priority);
    // A service that restarted closed our connection: once more on a fresh one.
    if (outcome == Outcome::closed) {
        hangUp();
        outcome = speak(text, priority);
    }
    if (outcome == Outcome::spoken) return;
    hangUp();
    // A service that stopped answering would hold us up at every announcement, and at the next
    // connection for good: it is not asked again.
    if (outcome == Outcome::stuck) stuck_ = true;
    if (!failureNoted_) {
        failureNoted_ = true;
        log_.error("A screen reader runs but the speech service cannot be reached");
    }
}

X11Announcer::Outcome X11Announcer::speak(const std::string& text, int priority) {
    if (!speech_) {
        char* error = nullptr;
        speech_ =
            spd_open2("talvori", "announcements", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error);
        std::free(error);
        if (!speech_) return Outcome::unreachable;
        const int socket = connection(speech_)->socket;
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &kAnswerTimeout, sizeof kAnswerTimeout);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &kAnswerTimeout, sizeof kAnswerTimeout);
    }
    const SPDPriority level = priority >= kHighPriority ? SPD_IMPORTANT : SPD_MESSAGE;
    if (spd_say(connection(speech_), level, text.c_str()) >= 0) return Outcome::spoken;
    pollfd state{connection(speech_)->socket, POLLIN, 0};
    char byte = 0;
    const bool closed =
        ::poll(&state, 1, 0) > 0 && ((state.revents & (POLLHUP | POLLERR)) ||
                                     ::recv(state.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0);
    return closed ? Outcome::closed : Outcome::stuck;
}

void X11Announcer::hangUp() {
    if (speech_) spd_close(connection(speech_));
    speech_ = nullptr;
}

}  // namespace talvori::x11
