#include "GlobalShortcuts/LocalEventMonitor.hpp"

#include "platform/Platform.hpp"

namespace GlobalShortcuts {

LocalEventMonitor::~LocalEventMonitor() {
    if (monitor_) talvori::platform().runLoop().assertMainThread();
}

LocalEventMonitor& LocalEventMonitor::start() {
    if (!monitor_) monitor_ = talvori::platform().input().addLocalMonitor(events_, callback_);
    return *this;
}

}  // namespace GlobalShortcuts
