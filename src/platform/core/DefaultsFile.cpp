#include "platform/core/DefaultsFile.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/core/Clock.hpp"
#include "platform/core/Json.hpp"

namespace talvori {

namespace {

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
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~Lock() {
        if (fd_ >= 0) ::close(fd_);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

  private:
    int fd_ = -1;
};

// What the file holds: the values that decode, and the members that do not, as they stand.
struct DefaultsFile::Contents {
    std::map<std::string, DefaultsValue> values;
    std::map<std::string, JsonValue> undecodable;
};

DefaultsFile::DefaultsFile(std::string path, const Clock& clock, Logger log)
    : path_(std::move(path)), clock_(clock), log_(std::move(log)) {}

DefaultsFile::ReadResult DefaultsFile::read(Contents& contents, bool logUndecodable) const {
    contents = {};
    std::string text;
    if (!readAll(path_, text)) return errno == ENOENT ? ReadResult::missing : ReadResult::bad;
    auto document = Json::parse(text);
    // The document, and each value in a tagged container two levels down, as deep as a value
    // can decode; anything deeper is damage, and writing it back would exhaust the stack.
    constexpr std::size_t kMaximumNesting = 2 * DefaultsValue::kMaximumDepth + 2;
    if (!document || !document->is_object() ||
        Json::isNestedDeeperThan(*document, kMaximumNesting)) {
        return ReadResult::bad;
    }
    // A document that was read holds each key once, and the file is written in key order: each
    // key usually belongs at the end of its map, and is put there without a search.
    for (auto& [key, json] : document->get_ref<JsonValue::object_t&>()) {
        if (auto value = DefaultsValue::fromJson(json)) {
            contents.values.emplace_hint(contents.values.end(), key, std::move(*value));
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
    return ReadResult::ok;
}

void DefaultsFile::setAside(const char* reason) {
    const std::string base = path_ + ".corrupt-" + timeStamp(clock_.date());
    std::string target = base;
    for (int attempt = 2; std::filesystem::exists(target); ++attempt) {
        target = base + "-" + std::to_string(attempt);
    }
    if (::rename(path_.c_str(), target.c_str()) == 0) {
        log_.error("Settings file %{public}s %{public}s; kept aside as %{public}s", path_, reason,
                   target);
    } else {
        log_.error("Settings file %{public}s %{public}s and could not be moved aside: %{public}s",
                   path_, reason, std::strerror(errno));
    }
}

std::map<std::string, DefaultsValue> DefaultsFile::load() {
    Lock lock(path_);
    Contents contents;
    if (read(contents, true) == ReadResult::bad) {
        setAside("could not be read");
        return {};
    }
    return std::move(contents.values);
}

bool DefaultsFile::write(const Changes& changes,
                         const std::map<std::string, DefaultsValue>& known) {
    std::error_code error;
    std::filesystem::create_directories(folderOf(path_), error);
    Lock lock(path_);
    Contents contents;
    const ReadResult result = read(contents, false);
    if (result == ReadResult::bad) setAside("could not be read");
    // A file that went missing or bad since it was loaded would otherwise take every key this
    // process did not change with it; what this process knows is the best copy left.
    if (result != ReadResult::ok) contents.values = known;
    auto& [values, undecodable] = contents;
    for (const auto& [key, value] : changes) {
        // What this process wrote replaces what it could not read.
        undecodable.erase(key);
        if (value) {
            values.insert_or_assign(key, *value);
        } else {
            values.erase(key);
        }
    }
    return replace(serialized(contents));
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
            Json::append(document, value->first, value->second.toJson());
            ++value;
        } else {
            Json::append(document, kept->first, kept->second);
            ++kept;
        }
    }
    return document.dump(2, ' ', false, JsonValue::error_handler_t::replace) + "\n";
}

bool DefaultsFile::replace(const std::string& contents) {
    const std::string temporary = path_ + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        log_.error("Cannot write settings to %{public}s: %{public}s", temporary,
                   std::strerror(errno));
        return false;
    }
    const bool written = writeAll(fd, contents) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
        log_.error("Cannot write settings to %{public}s: %{public}s", path_,
                   std::strerror(written ? errno : savedErrno));
        ::unlink(temporary.c_str());
        return false;
    }
    const int folder = ::open(folderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

}  // namespace talvori
