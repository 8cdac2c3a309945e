#include "platform/core/DefaultsWriter.hpp"

#include <utility>

namespace talvori {

DefaultsWriter::DefaultsWriter(std::shared_ptr<DefaultsFile> file,
                               std::function<void(const DefaultsFile::WriteResult&)> finished,
                               Reread reread)
    : file_(std::move(file)), finished_(std::move(finished)), reread_(std::move(reread)) {}

DefaultsWriter::~DefaultsWriter() {
    flush();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void DefaultsWriter::write(DefaultsFile::Changes changes, DefaultsFile::Values known, double date) {
    {
        std::lock_guard lock(mutex_);
        if (changes.empty() && waiting_.empty()) return;
        changes.merge(waiting_);
        waiting_ = std::move(changes);
        known_ = std::move(known);
        date_ = date;
        requested_ = true;
        // Started with the first write: a store that is only read needs no thread.
        if (!thread_.joinable()) thread_ = std::thread(&DefaultsWriter::run, this);
    }
    changed_.notify_all();
}

bool DefaultsWriter::flush() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !requested_ && !writing_; });
    return waiting_.empty();
}

void DefaultsWriter::reread() {
    {
        std::lock_guard lock(mutex_);
        rereadRequested_ = true;
        if (!thread_.joinable()) thread_ = std::thread(&DefaultsWriter::run, this);
    }
    changed_.notify_all();
}

void DefaultsWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return requested_ || rereadRequested_ || stopping_; });
        if (stopping_ && !requested_) return;
        if (rereadRequested_ && (!requested_ || waiting_.empty())) {
            rereadRequested_ = false;
            lock.unlock();
            std::string why;
            auto values = file_->reread(why);
            if (reread_) reread_(std::move(values), why);
            lock.lock();
            if (!requested_) continue;
        }
        requested_ = false;
        const bool rereadToo = std::exchange(rereadRequested_, false);
        writing_ = true;
        DefaultsFile::Changes changes = std::move(waiting_);
        waiting_.clear();
        const DefaultsFile::Values known = std::move(known_);
        known_.clear();
        const double date = date_;
        if (changes.empty()) {
            writing_ = false;
            changed_.notify_all();
            continue;
        }
        lock.unlock();
        const auto result = file_->write(changes, known, date);
        lock.lock();
        if (!result.written) {
            // Kept for the next request, under whatever changed since: waiting before anyone
            // hears of the failure, so that a request it prompts finds them.
            waiting_.merge(changes);
            if (known_.empty()) known_ = known;
            rereadRequested_ = rereadRequested_ || rereadToo;
        }
        lock.unlock();
        if (finished_) finished_(result);
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

}  // namespace talvori
