#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/core/DefaultsValue.hpp"
#include "platform/core/Logger.hpp"

namespace talvori {

class Clock;

// The file behind the standard settings store. Every write takes an exclusive lock, re-reads the
// file, applies only the keys this process changed and replaces the file atomically (temporary
// file, flush, rename), so a crash, a full disk or a second process never leaves it half-written,
// empty or missing another process's keys. The file is read key by key: a member whose value does
// not decode (a newer version's, a hand edit's) is logged, left out of the store and written back
// as it stands, so one bad value costs no other setting. A file that cannot be read, is not JSON
// or nests too deep is moved aside with a time stamp and never overwritten in place.
class DefaultsFile {
  public:
    using Changes = std::map<std::string, std::optional<DefaultsValue>>;

    DefaultsFile(std::string path, const Clock& clock, Logger log);

    std::map<std::string, DefaultsValue> load();
    // Applies `changes` (a value, or absent for a removal) to the file's current content, or to
    // `known` (this process's view of every key) when the file is missing or unreadable; false
    // when nothing could be written.
    bool write(const Changes& changes, const std::map<std::string, DefaultsValue>& known);

    const std::string& path() const { return path_; }

  private:
    class Lock;
    struct Contents;
    enum class ReadResult { ok, missing, bad };

    ReadResult read(Contents& contents, bool logUndecodable) const;
    static std::string serialized(const Contents& contents);
    void setAside(const char* reason);
    bool replace(const std::string& contents);

    std::string path_;
    const Clock& clock_;
    Logger log_;
};

}  // namespace talvori
