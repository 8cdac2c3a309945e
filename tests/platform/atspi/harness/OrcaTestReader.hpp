#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace talvori::testing {

class X11TestSession;

// The desktop's screen reader, Orca, on the test's session and accessibility bus, speaking through
// a speech server of its own whose only voice writes each utterance as a line of a file. Nothing
// of the user's settings is read: its home and settings live in a folder of its own, removed at
// the end. The program's loop runs while it starts, so that the program answers it.
class OrcaTestReader {
  public:
    OrcaTestReader(X11TestSession& session, const std::string& busAddress);
    ~OrcaTestReader();
    OrcaTestReader(const OrcaTestReader&) = delete;
    OrcaTestReader& operator=(const OrcaTestReader&) = delete;

    bool isReady() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // Everything said since the reader started, one utterance a line.
    std::string speech() const;
    // The file it speaks into, one utterance a line, to watch.
    std::filesystem::path speechFile() const { return folder_ / "speech.txt"; }

  private:
    bool startSpeechServer();
    bool startOrca(const std::string& busAddress);

    X11TestSession& session_;
    std::filesystem::path folder_;
    pid_t server_ = 0;
    pid_t orca_ = 0;
    std::string error_;
};

}  // namespace talvori::testing
