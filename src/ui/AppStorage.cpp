#include "ui/AppStorage.hpp"

#include "platform/Platform.hpp"
#include "platform/core/Observation.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/core/weakly.hpp"

namespace talvori::ui {

// The stored value mirrored in an observable, so that reads are tracked like any model's.
struct AppStorage::Storage {
    std::string key;
    bool defaultValue;
    UserDefaults* defaults;
    Observable<bool> value;
    Registration observation;

    bool read() const { return defaults->boolValue(key).value_or(defaultValue); }
    void write(bool newValue) {
        defaults->set(key, newValue);
        // Mirrored at once too, in case the store reports its changes later.
        value.set(read());
    }
};

AppStorage::AppStorage(std::string key, bool defaultValue)
    : AppStorage(std::move(key), defaultValue, platform().userDefaults()) {}

AppStorage::AppStorage(std::string key, bool defaultValue, UserDefaults& defaults)
    : storage_(std::make_shared<Storage>()) {
    storage_->key = std::move(key);
    storage_->defaultValue = defaultValue;
    storage_->defaults = &defaults;
    storage_->value.set(storage_->read());
    storage_->observation = defaults.observe(
        storage_->key, weakly(std::weak_ptr<Storage>(storage_),
                              [](Storage& storage) { storage.value.set(storage.read()); }));
}

bool AppStorage::get() const {
    return storage_->value.get();
}

void AppStorage::set(bool value) const {
    storage_->write(value);
}

Binding<bool> AppStorage::binding() const {
    return Binding<bool>([storage = storage_] { return storage->value.get(); },
                         [storage = storage_](bool value) { storage->write(value); },
                         [storage = storage_](std::function<void()> onChange) {
                             return storage->value.observe(std::move(onChange));
                         });
}

}  // namespace talvori::ui
