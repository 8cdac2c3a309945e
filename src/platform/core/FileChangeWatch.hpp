#pragma once

#include <functional>
#include <memory>
#include <string>

namespace talvori {

class FileWatch;
class RunLoop;

// Hears, on the run loop, when another writer replaces or rewrites one file: the folder is
// watched, so that a file replaced by a rename (as careful writers and most editors save) is
// followed, and one that does not exist yet is heard of once it does. Ends with the object.
class FileChangeWatch {
  public:
    // Nothing is heard when the folder cannot be watched (it is missing, or the watch limit is
    // reached); `isWatching()` says so.
    FileChangeWatch(RunLoop& loop, const std::string& path, std::function<void()> changed);
    ~FileChangeWatch();
    FileChangeWatch(const FileChangeWatch&) = delete;
    FileChangeWatch& operator=(const FileChangeWatch&) = delete;

    bool isWatching() const { return watch_ != nullptr; }

  private:
    int fd_ = -1;
    std::shared_ptr<FileWatch> watch_;
};

}  // namespace talvori
