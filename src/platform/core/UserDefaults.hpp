#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/DefaultsFile.hpp"
#include "platform/core/DefaultsValue.hpp"
#include "platform/core/Logger.hpp"
#include "platform/core/Observation.hpp"

namespace talvori {

class Clock;
class DefaultsWriter;
class FileChangeWatch;
class RepeatedLogLines;
class RunLoop;

// The settings store: typed values under string keys. A read of a missing key, or of a key that
// holds a value of another type, is absent. The standard store keeps a file and writes it a moment
// after a change (a slider drag would otherwise rewrite it at every step), and at once on
// synchronize() and when the store goes away. Writes run on a thread of their own: the main
// thread never waits for the disk, except in synchronize().
//
// The file has other writers (a hand edit, a second instance on another display): when it
// changes on disk it is read again, and each key another writer changed there is taken, its
// observers told, unless this process changed it too since the file was last read; then this
// process's value, written later, stays. Either way the log names the key, a line or so a second
// at most: another program may save the file many times a second; the rest are counted.
class UserDefaults : public std::enable_shared_from_this<UserDefaults> {
  public:
    static std::shared_ptr<UserDefaults> inMemory();
    static std::shared_ptr<UserDefaults> fileBacked(const std::string& path,
                                                    std::shared_ptr<RunLoop> loop, Logger log);
    // $XDG_CONFIG_HOME/talvori/defaults.json, or ~/.config/talvori/defaults.json.
    static std::string standardPath();

    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    std::optional<DefaultsValue> object(const std::string& key) const;
    std::optional<bool> boolValue(const std::string& key) const;
    std::optional<std::int64_t> integer(const std::string& key) const;
    std::optional<double> doubleValue(const std::string& key) const;
    std::optional<std::string> string(const std::string& key) const;
    std::optional<Data> data(const std::string& key) const;
    std::optional<DefaultsValue::Array> array(const std::string& key) const;
    std::optional<DefaultsValue::Dictionary> dictionary(const std::string& key) const;

    // Every key with the value reads of it give: stored values over registered ones.
    DefaultsValue::Dictionary dictionaryRepresentation() const;

    void set(const std::string& key, DefaultsValue value);
    void removeObject(const std::string& key);
    // Values that reads fall back to while a key holds nothing; never written to the file.
    void registerDefaults(const DefaultsValue::Dictionary& defaults);

    // Calls `onChange` after each change of the value that reads of `key` give.
    Registration observe(const std::string& key, std::function<void()> onChange);

    // Writes pending changes now, after the write in flight, and returns once they are written;
    // false when the file could not be written (they stay pending). For a program about to end.
    bool synchronize();
    // How many times set or removeObject was called: lets tests tell "nothing was saved".
    std::size_t writeCount() const { return writeCount_; }
    // How many writes of the file have ended, written or not: lets tests wait for a retry.
    std::size_t finishedWriteCount() const { return finishedWriteCount_; }

    static constexpr double kFlushDelay = 0.2;
    static constexpr double kRetryDelay = 5.0;
    // How many lines about other writers are logged in RepeatedLogLines::kPeriod, at most.
    static constexpr int kOtherWriterLines = 10;

  private:
    UserDefaults() = default;

    using Value = DefaultsFile::Value;
    using Values = DefaultsFile::Values;

    template <class T>
    std::optional<T> typed(const std::string& key) const;
    const DefaultsValue* find(const std::string& key) const;
    void change(const std::string& key, std::optional<DefaultsValue> value);
    void scheduleFlush(double delay);
    void startWrite();
    void writeFinished(const DefaultsFile::WriteResult& result);
    void rereadFinished(const std::optional<Values>& values, const std::string& why);
    // Takes what the file holds now: see the class comment. Keys in `written` were just written
    // by this process over what `replaced` says the file held under them.
    void absorb(const Values& file, const DefaultsFile::Changes& written,
                const DefaultsFile::Changes& replaced);
    // The keys whose values in `file` differ from what it held when last read or written.
    std::vector<std::string> changedElsewhere(const Values& file) const;
    void sayChangedHereToo(const std::string& key);
    // A line about what another writer did to the file.
    void sayOfOtherWriter(LogLevel level, const std::string& line);
    // Stores `value` (null: none) as what reads of `key` give, and tells its observers.
    void store(const std::string& key, Value value);

    // Shared with the writer's thread, and never changed once stored: a change stores a new one.
    std::map<std::string, Value> values_;
    std::map<std::string, DefaultsValue> registered_;
    // Changed keys not yet handed to the writer; null for a removal.
    std::map<std::string, Value> pending_;
    // Keys changed by this process and not yet seen written, with the latest value.
    std::map<std::string, Value> unsaved_;
    // What the file held when last read or written: what another writer's change is told by.
    std::map<std::string, Value> onDisk_;
    std::map<std::string, ObservationSubject> subjects_;
    std::unique_ptr<DefaultsWriter> writer_;
    std::unique_ptr<FileChangeWatch> fileWatch_;
    std::weak_ptr<RunLoop> loop_;
    Logger log_;
    std::unique_ptr<RepeatedLogLines> otherWriterLines_;
    bool flushScheduled_ = false;
    // Why the latest write failed, said once until it changes or a write succeeds.
    std::string writeFailure_;
    std::size_t writeCount_ = 0;
    std::size_t finishedWriteCount_ = 0;
};

}  // namespace talvori
