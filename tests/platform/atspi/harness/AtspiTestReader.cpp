#include "platform/atspi/harness/AtspiTestReader.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "platform/Platform.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::testing {

namespace {
constexpr const char* kEnd = "\n.\n";
}

AtspiTestReader::AtspiTestReader(X11TestSession& session, const std::string& busAddress)
    : session_(session) {
    // The reader finds the bus as the desktop's readers do when told its address.
    ::setenv("AT_SPI_BUS_ADDRESS", busAddress.c_str(), 1);
    pid_ = session.spawn({TALVORI_ATSPI_READER}, &output_, &input_);
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    if (pid_ <= 0) return;
    ::fcntl(output_, F_SETFL, ::fcntl(output_, F_GETFL) | O_NONBLOCK);
    watch_ = platform().runLoop().watch(output_, POLLIN, [this](short) { receive(); });
    ready_ = line("") == "ready";
}

AtspiTestReader::~AtspiTestReader() {
    watch_.reset();
    if (input_ >= 0) ::close(input_);
    if (output_ >= 0) ::close(output_);
    if (pid_ > 0) session_.end(pid_);
}

void AtspiTestReader::receive() {
    char buffer[4096];
    for (ssize_t got = ::read(output_, buffer, sizeof buffer); got > 0;
         got = ::read(output_, buffer, sizeof buffer)) {
        received_.append(buffer, static_cast<std::size_t>(got));
    }
}

bool AtspiTestReader::hasAnswer() const {
    return received_.rfind(".\n", 0) == 0 || received_.find(kEnd) != std::string::npos;
}

std::vector<std::string> AtspiTestReader::ask(const std::string& command, double seconds) {
    if (!command.empty()) {
        // Written in place: a copy of a huge command would count in the memory the program uses.
        char newline = '\n';
        const iovec parts[] = {{const_cast<char*>(command.data()), command.size()}, {&newline, 1}};
        const auto size = static_cast<ssize_t>(command.size() + 1);
        if (::writev(input_, parts, 2) != size) return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!hasAnswer() && std::chrono::steady_clock::now() < deadline) {
        platform().runLoop().runOnce(0.002);
    }
    std::vector<std::string> lines;
    if (!hasAnswer()) return lines;
    std::size_t start = 0;
    for (std::size_t end = received_.find('\n'); end != std::string::npos;
         end = received_.find('\n', start)) {
        std::string text = received_.substr(start, end - start);
        start = end + 1;
        if (text == ".") break;
        lines.push_back(std::move(text));
    }
    received_.erase(0, start);
    return lines;
}

std::string AtspiTestReader::line(const std::string& command) {
    const auto lines = ask(command);
    return lines.empty() ? "" : lines.front();
}

}  // namespace talvori::testing
