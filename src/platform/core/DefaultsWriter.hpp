#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/core/DefaultsFile.hpp"

namespace talvori {

// Writes a settings file on a thread of its own, so that whoever changes a setting never waits
// for the disk. One write runs at a time; changes handed over meanwhile wait together, the newest
// value of each key replacing older ones, and go out in the next write. Changes whose write
// failed wait too, under any newer ones, until the next request to write. Reads of the file
// after another writer changed it run on the same thread, in turn with the writes, so that what
// each reports is the file at one moment, reported in the order the moments came.
class DefaultsWriter {
  public:
    using Reread =
        std::function<void(std::optional<DefaultsFile::Values> values, const std::string& why)>;
    // `finished` hears of every write and `reread` of every read, on the writer's thread.
    DefaultsWriter(std::shared_ptr<DefaultsFile> file,
                   std::function<void(const DefaultsFile::WriteResult&)> finished,
                   Reread reread = {});
    // Finishes what was asked for, then ends the thread.
    ~DefaultsWriter();
    DefaultsWriter(const DefaultsWriter&) = delete;
    DefaultsWriter& operator=(const DefaultsWriter&) = delete;

    // Adds `changes` to what waits and asks for a write of everything waiting, changes a failed
    // write left too; nothing when nothing waits. `known` is the caller's view of every key,
    // written when the file is gone; `date` names a damaged file.
    void write(DefaultsFile::Changes changes, DefaultsFile::Values known, double date);
    // Waits until the writes asked for have been written (or failed); whether nothing is left
    // unwritten. Asks for none itself: changes a write has just failed would be tried twice.
    bool flush();
    // Asks for a read of the file; a write asked for already reads it and stands in for it.
    void reread();

  private:
    void run();

    std::shared_ptr<DefaultsFile> file_;
    std::function<void(const DefaultsFile::WriteResult&)> finished_;
    std::mutex mutex_;
    std::condition_variable changed_;
    DefaultsFile::Changes waiting_;
    DefaultsFile::Values known_;
    double date_ = 0;
    Reread reread_;
    bool requested_ = false;
    bool rereadRequested_ = false;
    bool writing_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace talvori
