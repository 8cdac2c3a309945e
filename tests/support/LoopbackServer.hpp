#pragma once

#include <functional>
#include <memory>
#include <string>

namespace talvori::testing {

// A real HTTP server on 127.0.0.1 with a port of its own, serving from its own thread for as long
// as the object lives. Tests set what each path answers.
class LoopbackServer {
  public:
    struct Response {
        int status = 200;
        std::string body;
        std::string contentType = "text/html; charset=utf-8";
    };

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    void serve(const std::string& path, Response response);
    // Requests of `path` get no answer until the server goes away.
    void hang(const std::string& path);
    std::string url(const std::string& path) const;
    int requestCount(const std::string& path) const;

    // An address on the loopback interface where nothing listens: connections are refused.
    static std::string refusingURL();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Lets `transport` serve its sockets in real time, without moving virtual time, until `done` holds
// or a few seconds have gone by. Returns `done()`.
template <class Transport>
bool pumpNetworkUntil(Transport& transport, const std::function<bool()>& done) {
    for (int round = 0; round < 500 && !done(); ++round) transport.serveSockets(0.01);
    return done();
}

}  // namespace talvori::testing
