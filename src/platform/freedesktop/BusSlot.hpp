#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace talvori::freedesktop {

struct BusSlotRelease {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
// A match, a call awaiting its reply or an object on a bus: dropping it takes it off the bus.
using BusSlot = std::unique_ptr<sd_bus_slot, BusSlotRelease>;

}  // namespace talvori::freedesktop
