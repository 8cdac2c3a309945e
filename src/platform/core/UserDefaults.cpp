#include "platform/core/UserDefaults.hpp"

#include <cstdlib>
#include <filesystem>

#include "platform/core/DefaultsWriter.hpp"
#include "platform/core/FileChangeWatch.hpp"
#include "platform/core/RepeatedLogLines.hpp"
#include "platform/core/RunLoop.hpp"
#include "platform/core/weakly.hpp"

namespace talvori {

std::shared_ptr<UserDefaults> UserDefaults::inMemory() {
    return std::shared_ptr<UserDefaults>(new UserDefaults());
}

std::shared_ptr<UserDefaults> UserDefaults::fileBacked(const std::string& path,
                                                       std::shared_ptr<RunLoop> loop, Logger log) {
    auto defaults = inMemory();
    auto file = std::make_shared<DefaultsFile>(path, loop->clock(), log);
    defaults->values_ = file->load();
    defaults->onDisk_ = defaults->values_;
    // Said already: a write that finds the same is not said again.
    defaults->writeFailure_ = file->refusedAtLoad();
    defaults->loop_ = loop;
    defaults->log_ = log;
    defaults->otherWriterLines_ = std::make_unique<RepeatedLogLines>(std::move(log));
    defaults->otherWriterLines_->attach(loop.get());
    // Heard on the writer's thread, handled on the loop's.
    const auto onLoop = [weakLoop = std::weak_ptr<RunLoop>(loop),
                         weak = std::weak_ptr<UserDefaults>(defaults)](auto handle) {
        if (auto strong = weakLoop.lock())
            strong->postFromAnyThread(weakly(weak, std::move(handle)));
    };
    defaults->writer_ = std::make_unique<DefaultsWriter>(
        std::move(file),
        [onLoop](const DefaultsFile::WriteResult& result) {
            onLoop([result](UserDefaults& self) { self.writeFinished(result); });
        },
        [onLoop](std::optional<Values> values, const std::string& why) {
            onLoop([values = std::move(values), why](UserDefaults& self) {
                self.rereadFinished(values, why);
            });
        });
    // The folder is made now, so that a file another writer makes first is heard of.
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    defaults->fileWatch_ = std::make_unique<FileChangeWatch>(
        *loop, path, weakly(std::weak_ptr<UserDefaults>(defaults), [](UserDefaults& self) {
            self.writer_->reread();
        }));
    if (!defaults->fileWatch_->isWatching()) {
        defaults->log_.error(
            "Settings file %{public}s: its folder cannot be watched; changes other programs make "
            "to it are not seen until the next start",
            path);
    }
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
    if (otherWriterLines_) otherWriterLines_->flush();
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
    Value stored = value ? std::make_shared<const DefaultsValue>(std::move(*value)) : nullptr;
    if (writer_) {
        pending_.insert_or_assign(key, stored);
        unsaved_.insert_or_assign(key, stored);
        scheduleFlush(kFlushDelay);
    }
    store(key, std::move(stored));
}

void UserDefaults::store(const std::string& key, Value value) {
    const auto before = object(key);
    if (value) {
        values_.insert_or_assign(key, std::move(value));
    } else {
        values_.erase(key);
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

void UserDefaults::writeFinished(const DefaultsFile::WriteResult& result) {
    ++finishedWriteCount_;
    for (const auto& note : result.notes) log_.error("%{public}s", note);
    if (result.written) {
        if (!writeFailure_.empty()) log_.log("Settings written again");
        writeFailure_.clear();
        absorb(result.values, result.applied, result.replaced);
        return;
    }
    // A full disk or a read-only folder: the changes wait in the writer; tried again later, and
    // said again only when something else goes wrong.
    if (result.failure != writeFailure_) log_.error("%{public}s", result.failure);
    writeFailure_ = result.failure;
    scheduleFlush(kRetryDelay);
}

void UserDefaults::rereadFinished(const std::optional<Values>& values, const std::string& why) {
    if (values) {
        absorb(*values, {}, {});
    } else {
        sayOfOtherWriter(LogLevel::info, why);
    }
}

namespace {

bool sameValue(const std::shared_ptr<const DefaultsValue>& one,
               const std::shared_ptr<const DefaultsValue>& other) {
    return one == other || (one && other && *one == *other);
}

std::shared_ptr<const DefaultsValue> valueIn(
    const std::map<std::string, std::shared_ptr<const DefaultsValue>>& values,
    const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? nullptr : found->second;
}

}  // namespace

void UserDefaults::absorb(const Values& file, const DefaultsFile::Changes& written,
                          const DefaultsFile::Changes& replaced) {
    for (const auto& [key, value] : written) {
        const auto before = valueIn(replaced, key);
        if (!sameValue(before, valueIn(onDisk_, key)) && !sameValue(before, value)) {
            sayChangedHereToo(key);
        }
        const auto unsaved = unsaved_.find(key);
        // Changed again since this write was asked for: the newer value waits for the next one.
        if (unsaved != unsaved_.end() && unsaved->second != value) continue;
        if (unsaved != unsaved_.end()) unsaved_.erase(unsaved);
        store(key, valueIn(file, key));
    }
    for (const auto& key : changedElsewhere(file)) {
        if (written.contains(key)) continue;
        const auto now = valueIn(file, key);
        const auto unsaved = unsaved_.find(key);
        if (unsaved == unsaved_.end()) {
            sayOfOtherWriter(
                LogLevel::defaultLevel,
                "Settings: \"" + key +
                    "\" was changed in the file by another writer; its value is taken");
            store(key, now);
        } else if (!sameValue(now, unsaved->second)) {
            sayChangedHereToo(key);
        }
    }
    onDisk_ = file;
}

std::vector<std::string> UserDefaults::changedElsewhere(const Values& file) const {
    std::vector<std::string> keys;
    for (const auto& [key, value] : file) {
        if (!sameValue(value, valueIn(onDisk_, key))) keys.push_back(key);
    }
    for (const auto& [key, value] : onDisk_) {
        if (!file.contains(key)) keys.push_back(key);
    }
    return keys;
}

void UserDefaults::sayChangedHereToo(const std::string& key) {
    sayOfOtherWriter(LogLevel::defaultLevel,
                     "Settings: \"" + key +
                         "\" was changed in the file by another writer and here too; this later "
                         "change is written over it");
}

void UserDefaults::sayOfOtherWriter(LogLevel level, const std::string& line) {
    otherWriterLines_->log(level, "other writer", line, kOtherWriterLines);
}

bool UserDefaults::synchronize() {
    if (!writer_) return true;
    // Changes a failed write left are asked for too: the disk may take them now.
    startWrite();
    return writer_->flush();
}

}  // namespace talvori
