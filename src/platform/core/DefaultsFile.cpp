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

namespace talvori {

namespace {

constexpr const char* kTemporaryMark = ".tmp-";

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

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

bool readAll(const std::string& path, std::string& contents) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            const int savedErrno = errno;
            ::close(fd);
            errno = savedErrno;
            return false;
        }
        if (count == 0) break;
        contents.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return true;
}

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
        fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
    if (!readAll(path, text)) return errno == ENOENT ? ReadResult::missing : ReadResult::bad;
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
    // Every write holds the lock from its temporary copy to the rename: a copy found while we
    // hold it is what a process killed while writing left.
    if (lock.held()) removeLeftTemporaries();
    Contents contents;
    const ReadResult result = read(path_, contents, true);
    if (result == ReadResult::ok) return std::move(contents.values);
    if (result == ReadResult::missing) return {};
    return recover();
}

void DefaultsFile::removeLeftTemporaries() const {
    const std::string file = std::filesystem::path(path_).filename().string();
    const std::string backup = std::filesystem::path(backupPath()).filename().string();
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folderOf(path_), error), end;
         !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        auto owner = temporaryOwner(name, file);
        if (!owner) owner = temporaryOwner(name, backup);
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

// The file is damaged: the backup written with it stands in for it, and the file on disk becomes
// that backup again, members this version cannot read and all. With the backup damaged too,
// whatever either held whole before its damage is kept, the file's over the backup's.
DefaultsFile::Values DefaultsFile::recover() {
    const double date = clock_.date();
    const SetAside damaged = setAside(path_, date, "could not be read");
    log_.error("%{public}s", damaged.message);
    Contents backup;
    const ReadResult result = read(backupPath(), backup, false);
    if (result == ReadResult::ok) {
        std::string text;
        std::string failure;
        if (!damaged.target.empty() && readAll(backupPath(), text)) replace(path_, text, failure);
        log_.error(
            "Settings file %{public}s: the settings of its last good copy %{public}s are "
            "used instead",
            path_, backupPath());
        return std::move(backup.values);
    }
    Contents saved = salvage(damaged.target.empty() ? path_ : damaged.target);
    if (result == ReadResult::bad) {
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
    if (!readAll(damaged, text)) return contents;
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
    Contents contents;
    const ReadResult read = this->read(path_, contents, false);
    if (read == ReadResult::bad) {
        result.notes.push_back(setAside(path_, date, "could not be read").message);
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
    result.written = replace(path_, text, result.failure);
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
    Contents contents;
    switch (read(path_, contents, false)) {
        case ReadResult::ok:
            return std::move(contents.values);
        case ReadResult::missing:
            why = "Settings file " + path_ +
                  " was removed; the settings in use stay and are written with the next change";
            return std::nullopt;
        case ReadResult::bad:
            break;
    }
    why = "Settings file " + path_ +
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
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
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
