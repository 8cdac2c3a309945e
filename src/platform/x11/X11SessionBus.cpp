#include "platform/x11/X11SessionBus.hpp"

#include <poll.h>
#include <systemd/sd-bus.h>

#include <cstring>

#include "platform/core/RunLoop.hpp"

namespace talvori::x11 {

std::shared_ptr<X11SessionBus> X11SessionBus::open(RunLoop& loop, const Logger& log) {
    sd_bus* bus = nullptr;
    const int result = sd_bus_open_user(&bus);
    if (result < 0) {
        log.log("No session bus (%{public}s): the status item can only dock in a system tray",
                std::strerror(-result));
        return nullptr;
    }
    std::shared_ptr<X11SessionBus> session(new X11SessionBus(bus, loop));
    std::weak_ptr<X11SessionBus> weak = session;
    session->input_ = loop.watch(sd_bus_get_fd(bus), POLLIN, [weak](short) {
        if (auto self = weak.lock()) self->process();
    });
    session->hook_ = loop.addBeforeWaitHook([weak] {
        if (auto self = weak.lock()) self->process();
    });
    return session;
}

X11SessionBus::X11SessionBus(sd_bus* bus, RunLoop& loop) : bus_(bus), loop_(loop) {}

X11SessionBus::~X11SessionBus() {
    hook_.reset();
    output_.reset();
    input_.reset();
    sd_bus_flush_close_unref(bus_);
}

const char* X11SessionBus::uniqueName() const {
    const char* name = nullptr;
    return sd_bus_get_unique_name(bus_, &name) >= 0 ? name : "";
}

std::string X11SessionBus::ownerChangesMatch(const std::string& name) {
    return "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
           "member='NameOwnerChanged',arg0='" +
           name + "'";
}

void X11SessionBus::process() {
    // A handler may drop the last other reference to the bus.
    auto self = shared_from_this();
    while (sd_bus_process(bus_, nullptr) > 0) {
    }
    watchOutput();
}

// Messages the socket did not take at once wait for it to be writable.
void X11SessionBus::watchOutput() {
    const int events = sd_bus_get_events(bus_);
    const bool waiting = events > 0 && (events & POLLOUT);
    if (waiting && !output_) {
        std::weak_ptr<X11SessionBus> weak = weak_from_this();
        output_ = loop_.watch(sd_bus_get_fd(bus_), POLLOUT, [weak](short) {
            if (auto self = weak.lock()) self->process();
        });
    } else if (!waiting) {
        output_.reset();
    }
}

}  // namespace talvori::x11
