#include "platform/core/DefaultsFile.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include "platform/core/Clock.hpp"
#include "platform/core/Json.hpp"
#include "platform/core/LinkTarget.hpp"

namespace talvori {

namespace {

constexpr const char* kTemporaryMark = ".tmp-";

// How the log says DefaultsFile::kMaximumSize.
constexpr const char* kLargerThanTheMaximum = "larger than 8 MB";
static_assert(DefaultsFile::kMaximumSize == 8'000'000);

bool writeAll(int fd, const std::string& contents) {
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t count = ::write(fd, contents.data() + written, contents.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

// Reads at most `limit` bytes into `contents`; false past them.
bool readUpTo(int fd, std::size_t limit, std::string& contents) {
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return false;
        if (count == 0) return true;
        contents.append(buffer, static_cast<std::size_t>(count));
        if (contents.size() > limit) {
            errno = EFBIG;
            return false;
        }
    }
}

// What stands at a path where a settings file should, in words for the log.
std::string whatIsAt(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return errno == ELOOP ? "a loop of links" : "nothing";
    if (S_ISDIR(status.st_mode)) return "a folder";
    if (S_ISFIFO(status.st_mode)) return "a FIFO";
    if (S_ISSOCK(status.st_mode)) return "a socket";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "a device";
    return "a regular file";
}

}  // namespace

// Only a regular file is opened: opening a FIFO waits for a writer, and a device may never end.
// The open cannot wait either, should the path change in between; what it opened is looked at.
DefaultsFile::ReadResult DefaultsFile::readAll(const std::string& path, std::string& contents) {
    contents.clear();
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ELOOP) return ReadResult::notAFile;
        return errno == ENOENT ? ReadResult::missing : ReadResult::bad;
    }
    int fd = -1;
    if (S_ISREG(status.st_mode)) {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT ? ReadResult::missing : ReadResult::bad;
        if (::fstat(fd, &status) != 0) status.st_mode = 0;
    }
    if (!S_ISREG(status.st_mode)) {
        if (fd >= 0) ::close(fd);
        return ReadResult::notAFile;
    }
    const bool read =
        status.st_size <= static_cast<off_t>(kMaximumSize) && readUpTo(fd, kMaximumSize, contents);
    const int savedErrno = errno;
    ::close(fd);
    if (read) return ReadResult::ok;
    contents.clear();
    if (status.st_size > static_cast<off_t>(kMaximumSize) || savedErrno == EFBIG) {
        return ReadResult::tooLarge;
    }
    return ReadResult::bad;
}

namespace {

// The document, and each value in a tagged container two levels down, as deep as a value can
// decode; anything deeper is damage, and writing it back would exhaust the stack.
constexpr std::size_t kMaximumNesting = 2 * DefaultsValue::kMaximumDepth + 2;

// What replace() names its temporary copy of `path` while writing it.
std::string temporaryPathOf(const std::string& path) {
    return path + kTemporaryMark + std::to_string(::getpid());
}

// The process whose temporary copy of `target` replace() named `name`, if it is one.
std::optional<pid_t> temporaryOwner(std::string_view name, std::string_view target) {
    if (!name.starts_with(target)) return std::nullopt;
    name.remove_prefix(target.size());
    if (!name.starts_with(kTemporaryMark)) return std::nullopt;
    name.remove_prefix(std::string_view(kTemporaryMark).size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc() || end != name.data() + name.size() || pid <= 0) return std::nullopt;
    return pid;
}

// A process that exists, ours or not (EPERM: another user's).
bool isRunning(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::string timeStamp(double date) {
    const auto seconds = static_cast<std::time_t>(date);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

}  // namespace

// Holds the exclusive lock of the store's lock file for one read-modify-write.
class DefaultsFile::Lock {
  public:
    explicit Lock(const std::string& path) {
        fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
    ~Lock() {
        if (fd_ >= 0) ::close(fd_);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// What the file holds: the values that decode, and the members that do not, as they stand.
struct DefaultsFile::Contents {
    Values values;
    std::map<std::string, JsonValue> undecodable;
};

DefaultsFile::DefaultsFile(std::string path, const Clock& clock, Logger log)
    : path_(std::move(path)), clock_(clock), log_(std::move(log)) {}

DefaultsFile::ReadResult DefaultsFile::read(const std::string& path, Contents& contents,
                                            bool logUndecodable) const {
    contents = {};
    std::string text;
    if (const ReadResult result = readAll(path, text); result != ReadResult::ok) return result;
    auto document = Json::parse(text);
    if (!document || !document->is_object() ||
        Json::isNestedDeeperThan(*document, kMaximumNesting)) {
        return ReadResult::bad;
    }
    decode(*document, contents, logUndecodable);
    return ReadResult::ok;
}

void DefaultsFile::decode(JsonValue& document, Contents& contents, bool logUndecodable) const {
    // A document that was read holds each key once, and the file is written in key order: each
    // key usually belongs at the end of its map, and is put there without a search.
    for (auto& [key, json] : document.get_ref<JsonValue::object_t&>()) {
        if (auto value = DefaultsValue::fromJson(json)) {
            contents.values.emplace_hint(contents.values.end(), key,
                                         std::make_shared<const DefaultsValue>(std::move(*value)));
            continue;
        }
        if (logUndecodable) {
            log_.error(
                "Settings file %{public}s: the value of \"%{public}s\" cannot be read; "
                "it is left out and kept in the file",
                path_, key);
        }
        contents.undecodable.emplace_hint(contents.undecodable.end(), key, std::move(json));
    }
}

DefaultsFile::SetAside DefaultsFile::setAside(const std::string& path, double date,
                                              const char* reason) {
    const std::string base = path + ".corrupt-" + timeStamp(date);
    std::string target = base;
    std::error_code error;
    for (int attempt = 2; std::filesystem::symlink_status(target, error).type() !=
                          std::filesystem::file_type::not_found;
         ++attempt) {
        target = base + "-" + std::to_string(attempt);
    }
    if (::rename(path.c_str(), target.c_str()) == 0) {
        return {target, "Settings file " + path + " " + reason + "; kept aside as " + target};
    }
    return {{},
            "Settings file " + path + " " + reason +
                " and could not be moved aside: " + std::strerror(errno)};
}

DefaultsFile::Values DefaultsFile::load() {
    Lock lock(path_);
    const std::string file = linkTarget(path_);
    // Every write holds the lock from its temporary copy to the rename: a copy found while we
    // hold it is what a process killed while writing left.
    if (lock.held()) {
        removeLeftTemporaries(path_);
        removeLeftTemporaries(backupPath());
        if (file != path_) removeLeftTemporaries(file);
    }
    Contents contents;
    switch (const ReadResult result = read(file, contents, true)) {
        case ReadResult::ok:
            return std::move(contents.values);
        case ReadResult::missing:
            return {};
        case ReadResult::notAFile:
            return refuse(file);
        case ReadResult::bad:
        case ReadResult::tooLarge:
            return recover(file, result);
    }
    return {};
}

void DefaultsFile::removeLeftTemporaries(const std::string& written) const {
    const std::string file = std::filesystem::path(written).filename().string();
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folderOf(written), error), end;
         !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const auto owner = temporaryOwner(name, file);
        // Another running process's copy may be one it writes now, should its lock have failed;
        // ours is old: this process has written nothing yet.
        if (!owner || (*owner != ::getpid() && isRunning(*owner))) continue;
        if (!entry->is_regular_file(error) || entry->is_symlink(error)) continue;
        if (::unlink(entry->path().c_str()) == 0) {
            log_.info(
                "Settings file %{public}s: removed %{public}s, left by a write that never "
                "finished",
                path_, name);
        }
    }
}

std::string DefaultsFile::named(const std::string& file) const {
    return file == path_ ? path_ : path_ + " (a link to " + file + ")";
}

std::string DefaultsFile::refusal(const std::string& file) const {
    return "Settings file " + named(file) + " is " + whatIsAt(file) +
           ", not a regular file: it is not read, and the settings in use are written to it once "
           "it is one";
}

std::string DefaultsFile::damage(ReadResult result) {
    return result == ReadResult::tooLarge ? std::string("is ") + kLargerThanTheMaximum
                                          : "could not be read";
}

// Something that is no file (a FIFO, a device) is left as it is; the last good copy stands in.
DefaultsFile::Values DefaultsFile::refuse(const std::string& file) {
    refusedAtLoad_ = refusal(file);
    log_.error("%{public}s", refusedAtLoad_);
    Contents backup;
    if (read(backupPath(), backup, false) != ReadResult::ok) return {};
    log_.info("Settings file %{public}s: the settings of its last good copy %{public}s are used",
              path_, backupPath());
    return std::move(backup.values);
}

// The file is damaged: the backup written with it stands in for it, and the file on disk becomes
// that backup again, members this version cannot read and all. With the backup damaged too,
// whatever either held whole before its damage is kept, the file's over the backup's.
DefaultsFile::Values DefaultsFile::recover(const std::string& file, ReadResult damage) {
    const double date = clock_.date();
    const SetAside damaged = setAside(file, date, DefaultsFile::damage(damage).c_str());
    log_.error("%{public}s", damaged.message);
    Contents backup;
    const ReadResult result = read(backupPath(), backup, false);
    if (result == ReadResult::ok) {
        std::string text;
        std::string failure;
        if (!damaged.target.empty() && readAll(backupPath(), text) == ReadResult::ok) {
            replace(file, text, failure);
        }
        log_.error(
            "Settings file %{public}s: the settings of its last good copy %{public}s are "
            "used instead",
            path_, backupPath());
        return std::move(backup.values);
    }
    Contents saved = salvage(damaged.target.empty() ? file : damaged.target);
    if (result == ReadResult::bad || result == ReadResult::tooLarge) {
        const SetAside older = setAside(backupPath(), date, "could not be read either");
        log_.error("%{public}s", older.message);
        Contents olderSaved = salvage(older.target.empty() ? backupPath() : older.target);
        saved.values.merge(olderSaved.values);
    }
    log_.error(
        "Settings file %{public}s: %{public}u settings read whole before the damage are kept",
        path_, saved.values.size());
    return std::move(saved.values);
}

DefaultsFile::Contents DefaultsFile::salvage(const std::string& damaged) const {
    Contents contents;
    std::string text;
    if (readAll(damaged, text) != ReadResult::ok) return contents;
    JsonValue members = Json::wholeMembers(text);
    // Deeper than any value decodes: damage, whose copying and writing would exhaust the stack.
    auto& object = members.get_ref<JsonValue::object_t&>();
    for (auto& member : object) {
        if (Json::isNestedDeeperThan(member.second, kMaximumNesting - 1)) member.second = nullptr;
    }
    decode(members, contents, false);
    return contents;
}

DefaultsFile::WriteResult DefaultsFile::write(const Changes& changes, const Values& known,
                                              double date) {
    WriteResult result;
    std::error_code error;
    std::filesystem::create_directories(folderOf(path_), error);
    Lock lock(path_);
    const std::string file = linkTarget(path_);
    Contents contents;
    const ReadResult read = this->read(file, contents, false);
    if (read == ReadResult::notAFile) {
        result.failure = refusal(file);
        return result;
    }
    if (read == ReadResult::bad || read == ReadResult::tooLarge) {
        result.notes.push_back(setAside(file, date, damage(read).c_str()).message);
    }
    // A file that went missing or bad since it was loaded would otherwise take every key this
    // process did not change with it; what this process knows is the best copy left.
    if (read != ReadResult::ok) contents.values = known;
    auto& [values, undecodable] = contents;
    for (const auto& [key, value] : changes) {
        const auto before = values.find(key);
        result.replaced.emplace(key, before == values.end() ? nullptr : before->second);
        // What this process wrote replaces what it could not read.
        undecodable.erase(key);
        if (value) {
            values.insert_or_assign(key, value);
        } else {
            values.erase(key);
        }
    }
    const std::string text = serialized(contents);
    // A file that would not be read back is not written: the changes wait like those for a full
    // disk, until a removal makes room.
    if (text.size() > kMaximumSize) {
        result.failure = "Cannot write settings to " + named(file) + ": they would be " +
                         kLargerThanTheMaximum + ", more than is read back";
        return result;
    }
    result.written = replace(file, text, result.failure);
    // A backup that cannot be written now is written with the next change; the file itself is
    // whole either way.
    std::string backupFailure;
    if (!result.written) return result;
    replace(backupPath(), text, backupFailure);
    result.applied = changes;
    result.values = std::move(values);
    return result;
}

std::optional<DefaultsFile::Values> DefaultsFile::reread(std::string& why) const {
    const std::string file = linkTarget(path_);
    Contents contents;
    switch (read(file, contents, false)) {
        case ReadResult::ok:
            return std::move(contents.values);
        case ReadResult::missing:
            why = "Settings file " + named(file) +
                  " was removed; the settings in use stay and are written with the next change";
            return std::nullopt;
        case ReadResult::notAFile:
            why = refusal(file);
            return std::nullopt;
        case ReadResult::tooLarge:
            why = "Settings file " + named(file) + " was changed but is " + kLargerThanTheMaximum +
                  "; it is not read, and the settings in use stay";
            return std::nullopt;
        case ReadResult::bad:
            break;
    }
    why = "Settings file " + named(file) +
          " was changed but does not read (saved half-way?); the settings in use stay";
    return std::nullopt;
}

// Both maps in one key order, appended rather than inserted: the keys are unique, and looking
// each one up in the growing document would make large files quadratic to write.
std::string DefaultsFile::serialized(const Contents& contents) {
    const auto& [values, undecodable] = contents;
    JsonValue document = Json::object(values.size() + undecodable.size());
    auto value = values.begin();
    auto kept = undecodable.begin();
    while (value != values.end() || kept != undecodable.end()) {
        if (kept == undecodable.end() || (value != values.end() && value->first < kept->first)) {
            Json::append(document, value->first, value->second->toJson());
            ++value;
        } else {
            Json::append(document, kept->first, kept->second);
            ++kept;
        }
    }
    return document.dump(2, ' ', false, JsonValue::error_handler_t::replace) + "\n";
}

bool DefaultsFile::replace(const std::string& path, const std::string& contents,
                           std::string& failure) {
    const std::string temporary = temporaryPathOf(path);
    // Whatever stands in the way (a FIFO, a link another process put there) is not opened.
    const int fd = ::open(temporary.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        failure = "Cannot write settings to " + temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool written = writeAll(fd, contents) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        failure =
            "Cannot write settings to " + path + ": " + std::strerror(written ? errno : savedErrno);
        ::unlink(temporary.c_str());
        return false;
    }
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

}  // namespace talvori
