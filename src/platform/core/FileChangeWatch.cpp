#include "platform/core/FileChangeWatch.hpp"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "platform/core/LinkTarget.hpp"
#include "platform/core/RunLoop.hpp"

namespace talvori {

namespace {

// A write in place is heard when it ends, not at each of its pieces. A file made is heard of
// only as a link: a plain one is heard of when written.
constexpr unsigned kFileEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE;
constexpr unsigned kFolderEvents = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ONLYDIR;
constexpr unsigned kGone = IN_DELETE | IN_MOVED_FROM;

std::string nameIn(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isLink(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

}  // namespace

FileChangeWatch::FileChangeWatch(RunLoop& loop, const std::string& path,
                                 std::function<void()> changed)
    : path_(path), changed_(std::move(changed)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;
    watchAll();
    watch_ = loop.watch(fd_, POLLIN, [this](short) { readEvents(); });
}

FileChangeWatch::~FileChangeWatch() {
    watch_.reset();
    if (fd_ >= 0) ::close(fd_);
}

void FileChangeWatch::watch(Watched& watched, const std::string& path, unsigned mask) {
    watched.name = nameIn(path);
    // Masks add up: one folder may be watched for the folder and for the file.
    watched.descriptor = ::inotify_add_watch(fd_, folderOf(path).c_str(), mask | IN_MASK_ADD);
}

void FileChangeWatch::forget(Watched& watched) {
    const int descriptor = std::exchange(watched.descriptor, -1);
    if (descriptor < 0) return;
    for (const Watched* other : {&parent_, &folder_, &target_}) {
        if (other->descriptor == descriptor) return;
    }
    ::inotify_rm_watch(fd_, descriptor);
}

void FileChangeWatch::watchAll() {
    const std::string folder = folderOf(path_);
    if (folder.find('/') != std::string::npos && folder != "/")
        watch(parent_, folder, kFolderEvents);
    watch(folder_, path_, kFileEvents);
    followLink();
}

// Watched anew before the old watch ends, so that nothing is missed where the folder stays.
void FileChangeWatch::followLink() {
    const std::string target = linkTarget(path_);
    Watched next;
    if (target != path_) watch(next, target, kFileEvents);
    if (next.descriptor != target_.descriptor) forget(target_);
    target_ = next;
}

void FileChangeWatch::readEvents() {
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length <= 0) break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            changed = handle(event->wd, event->mask, event->len > 0 ? event->name : "") || changed;
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    // Held while it runs: it may end this watch.
    if (changed) std::function<void()>{changed_}();
}

bool FileChangeWatch::handle(int descriptor, unsigned mask, const std::string& name) {
    if (mask & IN_Q_OVERFLOW) {
        watchAll();
        return true;
    }
    // The folder went away: its watch ended with it.
    if (mask & IN_IGNORED) {
        for (Watched* watched : {&parent_, &folder_, &target_}) {
            if (watched->descriptor == descriptor) watched->descriptor = -1;
        }
        return false;
    }
    bool changed = false;
    if (descriptor == parent_.descriptor && name == parent_.name) {
        if (mask & kGone) {
            // Moved away, the folder would still be watched where it went.
            forget(folder_);
        } else {
            watch(folder_, path_, kFileEvents);
        }
        followLink();
        changed = true;
    }
    const bool made = mask & IN_CREATE;
    if (descriptor == folder_.descriptor && name == folder_.name) {
        if (mask & (IN_CREATE | IN_MOVED_TO | kGone)) followLink();
        changed = changed || !made || isLink(path_);
    }
    if (descriptor == target_.descriptor && name == target_.name) changed = changed || !made;
    return changed;
}

}  // namespace talvori
