#include "platform/core/UserDefaults.hpp"

#include <cstdlib>

#include "platform/core/DefaultsWriter.hpp"
#include "platform/core/RunLoop.hpp"

namespace talvori {

std::shared_ptr<UserDefaults> UserDefaults::inMemory() {
    return std::shared_ptr<UserDefaults>(new UserDefaults());
}

std::shared_ptr<UserDefaults> UserDefaults::fileBacked(const std::string& path,
                                                       std::shared_ptr<RunLoop> loop, Logger log) {
    auto defaults = inMemory();
    auto file = std::make_shared<DefaultsFile>(path, loop->clock(), log);
    defaults->values_ = file->load();
    defaults->loop_ = loop;
    defaults->log_ = std::move(log);
    // Heard on the writer's thread, handled on the loop's.
    std::weak_ptr<RunLoop> weakLoop = loop;
    std::weak_ptr<UserDefaults> weak = defaults;
    defaults->writer_ = std::make_unique<DefaultsWriter>(
        std::move(file), [weakLoop, weak](const DefaultsFile::WriteResult& result) {
            if (auto strong = weakLoop.lock()) {
                strong->postFromAnyThread([weak, result] {
                    if (auto self = weak.lock()) {
                        self->writeFinished(result.written, result.failure, result.notes);
                    }
                });
            }
        });
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

const DefaultsValue* UserDefaults::find(const std::string& key) const {
    if (const auto found = values_.find(key); found != values_.end()) return found->second.get();
    if (const auto found = registered_.find(key); found != registered_.end()) return &found->second;
    return nullptr;
}

std::optional<DefaultsValue> UserDefaults::object(const std::string& key) const {
    if (const DefaultsValue* value = find(key)) return *value;
    return std::nullopt;
}

template <class T>
std::optional<T> UserDefaults::typed(const std::string& key) const {
    const DefaultsValue* value = find(key);
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
    for (const auto& [key, value] : values_) all.insert_or_assign(key, *value);
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
    Value stored = value ? std::make_shared<const DefaultsValue>(std::move(*value)) : nullptr;
    if (stored) {
        values_.insert_or_assign(key, stored);
    } else {
        values_.erase(key);
    }
    if (writer_) {
        pending_.insert_or_assign(key, std::move(stored));
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

Registration UserDefaults::observe(const std::string& key, std::function<void()> onChange) {
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
        defaults->startWrite();
    });
}

// The map of values is copied, not the values: the writer reads them as they were now.
void UserDefaults::startWrite() {
    const auto loop = loop_.lock();
    writer_->write(std::move(pending_), values_, loop ? loop->clock().date() : 0);
    pending_.clear();
}

void UserDefaults::writeFinished(bool written, const std::string& failure,
                                 const std::vector<std::string>& notes) {
    for (const auto& note : notes) log_.error("%{public}s", note);
    if (written) {
        if (!writeFailure_.empty()) log_.log("Settings written again");
        writeFailure_.clear();
        return;
    }
    // A full disk or a read-only folder: the changes wait in the writer; tried again later, and
    // said again only when something else goes wrong.
    if (failure != writeFailure_) log_.error("%{public}s", failure);
    writeFailure_ = failure;
    scheduleFlush(kRetryDelay);
}

bool UserDefaults::synchronize() {
    if (!writer_) return true;
    if (!pending_.empty()) startWrite();
    return writer_->flush();
}

}  // namespace talvori
