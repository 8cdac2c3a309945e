#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/DefaultsValue.hpp"
#include "platform/core/Logger.hpp"

namespace talvori {

class Clock;

// The file behind the standard settings store. Every write takes an exclusive lock, re-reads the
// file, applies only the keys this process changed and replaces the file atomically (temporary
// file, flush, rename), so a crash, a full disk or a second process never leaves it half-written,
// empty or missing another process's keys; the temporary files a process killed while writing
// leaves are removed at the next load (only those of processes no longer running). After each write
// a copy of it replaces the backup beside it (path.bak) the same way. The file is read key by key:
// a member whose value does not decode (a newer version's, a hand edit's) is logged, left out of
// the store and written back as it stands, so one bad value costs no other setting. A file that
// cannot be read, is not JSON or nests too deep is moved aside with a time stamp and never
// overwritten in place; the backup stands in for it, and when the backup is damaged too, every
// member read whole before the damage in either is kept.
//
// Only a regular file of at most kMaximumSize bytes is read or written. A larger one is kept aside
// unread, as a damaged one is. Anything else at the path (a FIFO, a device, a folder) is never
// opened in a way that could wait: it is left as it is and refused, and the settings in use are
// written once a file stands there again. A symbolic link at the path (a dotfile manager's)
// stays: the file it leads to is written, beside itself.
//
// Values are shared and never changed once stored, so that a write on another thread reads them
// while the main thread goes on: write() may run on any one thread at a time, load() on the
// thread that made the file.
class DefaultsFile {
  public:
    using Value = std::shared_ptr<const DefaultsValue>;
    using Values = std::map<std::string, Value>;
    // A value, or null for a removal.
    using Changes = std::map<std::string, Value>;

    struct WriteResult {
        bool written = false;
        // Why nothing was written, in words for the log; empty when written.
        std::string failure;
        // What else happened that the log should hear of (a damaged file moved aside).
        std::vector<std::string> notes;
        // When written: the changes, what the file held under their keys just before (null
        // where nothing), and every value the file holds now.
        Changes applied;
        Changes replaced;
        Values values;
    };

    // Settings are small: even many layouts take a few hundred kilobytes.
    static constexpr std::size_t kMaximumSize = 8'000'000;

    DefaultsFile(std::string path, const Clock& clock, Logger log);

    Values load();
    // Applies `changes` to the file's current content, or to `known` (this process's view of
    // every key) when the file is missing or unreadable; `date` names a damaged file moved aside.
    // Logs nothing and reads no clock, so that it can run on another thread: the caller logs.
    WriteResult write(const Changes& changes, const Values& known, double date);
    // The file as it stands now, read again after another writer changed it; nothing when it is
    // missing or does not read (a hand edit saved half-way), and `why` says so. Logs nothing and
    // takes no lock (a write replaces the file whole), so that it can run on any thread.
    std::optional<Values> reread(std::string& why) const;

    const std::string& path() const { return path_; }
    // Why load() found no file to read (a FIFO stands there), in the words a failed write uses;
    // empty when it found one, or none.
    const std::string& refusedAtLoad() const { return refusedAtLoad_; }
    std::string backupPath() const { return path_ + ".bak"; }

  private:
    class Lock;
    struct Contents;
    enum class ReadResult { ok, missing, bad, notAFile, tooLarge };

    static ReadResult readAll(const std::string& path, std::string& contents);
    ReadResult read(const std::string& path, Contents& contents, bool logUndecodable) const;
    void decode(JsonValue& document, Contents& contents, bool logUndecodable) const;
    // Removes the temporary copies of `written` that processes killed while writing left.
    void removeLeftTemporaries(const std::string& written) const;
    // The path for the log, with the file a link there leads to.
    std::string named(const std::string& file) const;
    std::string refusal(const std::string& file) const;
    static std::string damage(ReadResult result);
    Values refuse(const std::string& file);
    Values recover(const std::string& file, ReadResult damage);
    Contents salvage(const std::string& damaged) const;
    static std::string serialized(const Contents& contents);
    struct SetAside {
        // Empty when the file could not be moved.
        std::string target;
        std::string message;
    };
    static SetAside setAside(const std::string& path, double date, const char* reason);
    static bool replace(const std::string& path, const std::string& contents, std::string& failure);

    std::string path_;
    std::string refusedAtLoad_;
    const Clock& clock_;
    Logger log_;
};

}  // namespace talvori
