#include "platform/core/UserDefaults.hpp"

#include <cstdlib>

#include "platform/core/DefaultsFile.hpp"
#include "platform/core/RunLoop.hpp"

namespace talvori {

std::shared_ptr<UserDefaults> UserDefaults::inMemory() {
    return std::shared_ptr<UserDefaults>(new UserDefaults());
}

std::shared_ptr<UserDefaults> UserDefaults::fileBacked(const std::string& path,
                                                       std::shared_ptr<RunLoop> loop, Logger log) {
    auto defaults = inMemory();
    defaults->file_ = std::make_unique<DefaultsFile>(path, loop->clock(), std::move(log));
    defaults->values_ = defaults->file_->load();
    defaults->loop_ = loop;
    return defaults;
}

std::string UserDefaults::standardPath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (configHome && configHome[0] == '/') {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : ".") + "/.config";
    }
    return base + "/talvori/defaults.json";
}

UserDefaults::~UserDefaults() {
    synchronize();
}

std::optional<DefaultsValue> UserDefaults::object(const std::string& key) const {
    if (const auto found = values_.find(key); found != values_.end()) return found->second;
    if (const auto found = registered_.find(key); found != registered_.end()) return found->second;
    return std::nullopt;
}

template <class T>
std::optional<T> UserDefaults::typed(const std::string& key) const {
    const auto value = object(key);
    if (!value) return std::nullopt;
    if (const T* typedValue = value->get<T>()) return *typedValue;
    return std::nullopt;
}

std::optional<bool> UserDefaults::boolValue(const std::string& key) const {
    return typed<bool>(key);
}
std::optional<std::int64_t> UserDefaults::integer(const std::string& key) const {
    return typed<std::int64_t>(key);
}
std::optional<double> UserDefaults::doubleValue(const std::string& key) const {
    return typed<double>(key);
}
std::optional<std::string> UserDefaults::string(const std::string& key) const {
    return typed<std::string>(key);
}
std::optional<Data> UserDefaults::data(const std::string& key) const {
    return typed<Data>(key);
}
std::optional<DefaultsValue::Array> UserDefaults::array(const std::string& key) const {
    return typed<DefaultsValue::Array>(key);
}
std::optional<DefaultsValue::Dictionary> UserDefaults::dictionary(const std::string& key) const {
    return typed<DefaultsValue::Dictionary>(key);
}

DefaultsValue::Dictionary UserDefaults::dictionaryRepresentation() const {
    auto all = registered_;
    for (const auto& [key, value] : values_) all.insert_or_assign(key, value);
    return all;
}

void UserDefaults::set(const std::string& key, DefaultsValue value) {
    change(key, std::move(value));
}

void UserDefaults::removeObject(const std::string& key) {
    change(key, std::nullopt);
}

void UserDefaults::change(const std::string& key, std::optional<DefaultsValue> value) {
    ++writeCount_;
    const auto before = object(key);
    if (value) {
        values_.insert_or_assign(key, *value);
    } else {
        values_.erase(key);
    }
    if (file_) {
        pending_.insert_or_assign(key, std::move(value));
        scheduleFlush(kFlushDelay);
    }
    if (object(key) != before) {
        if (const auto subject = subjects_.find(key); subject != subjects_.end()) {
            subject->second.notify();
        }
    }
}

void UserDefaults::registerDefaults(const DefaultsValue::Dictionary& defaults) {
    for (const auto& [key, value] : defaults) registered_.insert_or_assign(key, value);
}

ObservationToken UserDefaults::observe(const std::string& key, std::function<void()> onChange) {
    return subjects_[key].observe(std::move(onChange));
}

void UserDefaults::scheduleFlush(double delay) {
    if (flushScheduled_) return;
    auto loop = loop_.lock();
    if (!loop) return;
    flushScheduled_ = true;
    loop->runAfter(delay, [weak = weak_from_this()] {
        auto defaults = weak.lock();
        if (!defaults) return;
        defaults->flushScheduled_ = false;
        // A full disk or a read-only folder: keep the changes and try again later.
        if (!defaults->synchronize()) defaults->scheduleFlush(kRetryDelay);
    });
}

bool UserDefaults::synchronize() {
    if (!file_ || pending_.empty()) return true;
    if (!file_->write(pending_, values_)) return false;
    pending_.clear();
    return true;
}

}  // namespace talvori
