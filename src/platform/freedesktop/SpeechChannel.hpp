#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace talvori::freedesktop {

// The speech service's connection, on a thread of its own: its library waits for the service at
// every step (starting it, the first greeting, each text), and a service that accepts and never
// answers would hold whoever calls it for good. The owner only hands texts over and later asks
// what became of them; a text it takes back before the service accepted it is never sent.
class SpeechChannel {
  public:
    enum class Outcome { spoken, unreachable, stuck };
    using Ticket = std::uint64_t;
    struct Result {
        Ticket ticket = 0;
        Outcome outcome = Outcome::spoken;
    };
    // Texts that may wait while the service takes one.
    static constexpr std::size_t kCapacity = 8;

    SpeechChannel();
    // A thread caught in a call the service never answers is left to end with the process: the
    // owner never waits for the service, not even when it goes.
    ~SpeechChannel();
    SpeechChannel(const SpeechChannel&) = delete;
    SpeechChannel& operator=(const SpeechChannel&) = delete;

    // Hands a text over; none when kCapacity texts wait already.
    std::optional<Ticket> say(std::string text, bool important);
    // Takes a text back while it waits, not once the thread has begun on it: whether it did.
    bool withdraw(Ticket ticket);
    // What became of the texts handed over, since the last call; texts taken back are not told.
    std::vector<Result> takeResults();
    // Closes the connection once the texts handed over before are through.
    void hangUp();

  private:
    struct Shared;
    class Worker;

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace talvori::freedesktop
