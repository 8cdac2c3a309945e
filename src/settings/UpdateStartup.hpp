#pragma once

#include <memory>

namespace talvori {

class TalvoriUserDriver;

namespace updates {
class Updater;
}

// The update objects of the running program, made once at start-up in the order they depend on
// each other: the reminder, the driver, the updater; then the updater starts (a failure is logged
// and the program goes on without updates) and the launch is recorded. A build without an update
// key makes neither driver nor updater: what installed it updates it.
struct UpdateStartup {
    std::shared_ptr<TalvoriUserDriver> driver;
    std::shared_ptr<updates::Updater> updater;

    static UpdateStartup start();
};

}  // namespace talvori
