#pragma once

#include <functional>
#include <memory>
#include <string>

namespace talvori {

class FileWatch;
class RunLoop;

// Hears, on the run loop, when another writer replaces or rewrites one file: the folder is
// watched, so that a file replaced by a rename (as careful writers and most editors save) is
// followed, and one that does not exist yet is heard of once it does. Where the file is a
// symbolic link (a dotfile manager's), the folder of the file it leads to is watched too, for
// that file; the folder's own folder is watched for the folder, so that a folder removed and made
// again is watched again. Ends with the object.
class FileChangeWatch {
  public:
    // Nothing is heard from the folder while it cannot be watched (it is missing, or the watch
    // limit is reached); `isWatching()` says so.
    FileChangeWatch(RunLoop& loop, const std::string& path, std::function<void()> changed);
    ~FileChangeWatch();
    FileChangeWatch(const FileChangeWatch&) = delete;
    FileChangeWatch& operator=(const FileChangeWatch&) = delete;

    bool isWatching() const { return folder_.descriptor >= 0; }

  private:
    // One folder, watched for one name in it.
    struct Watched {
        int descriptor = -1;
        std::string name;
    };

    void watch(Watched& watched, const std::string& path, unsigned mask);
    // Ends the folder's watch, unless another name is watched in the same folder.
    void forget(Watched& watched);
    void watchAll();
    void followLink();
    void readEvents();
    // Whether the event may tell of a change of the file.
    bool handle(int descriptor, unsigned mask, const std::string& name);

    int fd_ = -1;
    std::string path_;
    Watched parent_;
    Watched folder_;
    Watched target_;
    std::function<void()> changed_;
    std::shared_ptr<FileWatch> watch_;
};

}  // namespace talvori
