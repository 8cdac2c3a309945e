#include "platform/core/FileChangeWatch.hpp"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>

#include "platform/core/RunLoop.hpp"

namespace talvori {

namespace {

// Whether the events in `buffer` name `file`; a lost event (the queue overflowed) may have.
bool namesFile(const char* buffer, ssize_t length, const std::string& file) {
    for (ssize_t offset = 0; offset < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
        if (event->mask & IN_Q_OVERFLOW) return true;
        if (event->len > 0 && file == event->name) return true;
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    return false;
}

}  // namespace

FileChangeWatch::FileChangeWatch(RunLoop& loop, const std::string& path,
                                 std::function<void()> changed) {
    const std::filesystem::path file(path);
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;
    // A write in place is heard when it ends, not at each of its pieces.
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    if (::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE) < 0) {
        return;
    }
    watch_ = loop.watch(
        fd_, POLLIN,
        [fd = fd_, name = file.filename().string(), changed = std::move(changed)](short) {
            alignas(inotify_event) char buffer[4096];
            bool named = false;
            for (;;) {
                const ssize_t length = ::read(fd, buffer, sizeof buffer);
                if (length <= 0) break;
                named = named || namesFile(buffer, length, name);
            }
            // Held while it runs: it may end this watch.
            if (named) std::function<void()>{changed}();
        });
}

FileChangeWatch::~FileChangeWatch() {
    watch_.reset();
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace talvori
