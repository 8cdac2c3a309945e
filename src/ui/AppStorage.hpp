#pragma once

#include <memory>
#include <string>

#include "ui/Binding.hpp"

namespace talvori {
class UserDefaults;
}

namespace talvori::ui {

// A Boolean kept in the user defaults under `key`, which views read and write like their own
// state: a body that reads it is evaluated again whenever the stored value changes, whoever wrote
// it. A value that is missing or of another type reads as the default.
//
//     struct State { AppStorage hasCompletedOnboarding{"hasCompletedOnboarding", false}; };
//     ... ctx.state.hasCompletedOnboarding() ? View() : View(FirstRunView{...})
class AppStorage {
  public:
    // In the platform's defaults.
    AppStorage(std::string key, bool defaultValue);
    AppStorage(std::string key, bool defaultValue, UserDefaults& defaults);

    // Reads the stored value; the read is tracked.
    bool get() const;
    bool operator()() const { return get(); }
    void set(bool value) const;
    Binding<bool> binding() const;

  private:
    struct Storage;
    std::shared_ptr<Storage> storage_;
};

}  // namespace talvori::ui
