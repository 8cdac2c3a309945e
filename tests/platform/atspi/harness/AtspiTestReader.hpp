#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace talvori {
class FileWatch;
}

namespace talvori::testing {

class X11TestSession;

// A screen reader on the accessibility library, in a process of its own (AtspiReaderMain.cpp
// lists what it can be asked): it reads the program over the accessibility bus while the
// program's loop runs here to answer it.
class AtspiTestReader {
  public:
    AtspiTestReader(X11TestSession& session, const std::string& busAddress);
    ~AtspiTestReader();
    AtspiTestReader(const AtspiTestReader&) = delete;
    AtspiTestReader& operator=(const AtspiTestReader&) = delete;

    bool isReady() const { return ready_; }
    // Sends one command and runs the program's loop until the reader answered; its lines (none
    // when it did not answer within `seconds`).
    std::vector<std::string> ask(const std::string& command, double seconds = 10);
    // The first line of the answer, or "".
    std::string line(const std::string& command);

  private:
    void receive();
    bool hasAnswer() const;

    X11TestSession& session_;
    pid_t pid_ = 0;
    int input_ = -1;
    int output_ = -1;
    std::shared_ptr<FileWatch> watch_;
    std::string received_;
    bool ready_ = false;
};

}  // namespace talvori::testing
