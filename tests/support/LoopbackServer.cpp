#include "support/LoopbackServer.hpp"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace talvori::testing {

struct LoopbackServer::State {
    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex mutex;
    std::condition_variable released;
    bool stopping = false;
    std::map<std::string, std::optional<Response>> routes;
    std::map<std::string, int> counts;
};

LoopbackServer::LoopbackServer() : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.server.Get(".*", [&state](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock lock(state.mutex);
        ++state.counts[request.path];
        const auto route = state.routes.find(request.path);
        if (route == state.routes.end()) {
            response.status = 404;
            response.set_content("<html><body><p>Page not found</p></body></html>", "text/html");
            return;
        }
        if (!route->second) {
            state.released.wait(lock, [&state] { return state.stopping; });
            return;
        }
        response.status = route->second->status;
        response.set_content(route->second->body, route->second->contentType.c_str());
    });
    // Binding also listens, so connections queue up before the serving thread accepts them.
    state.port = state.server.bind_to_any_port("127.0.0.1");
    state.thread = std::thread([&state] { state.server.listen_after_bind(); });
    // Stopping a server that has not begun to run does nothing, so wait until it runs.
    while (!state.server.is_running()) std::this_thread::yield();
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->released.notify_all();
    state_->server.stop();
    state_->thread.join();
}

void LoopbackServer::serve(const std::string& path, Response response) {
    std::lock_guard lock(state_->mutex);
    state_->routes[path] = std::move(response);
}

void LoopbackServer::hang(const std::string& path) {
    std::lock_guard lock(state_->mutex);
    state_->routes[path] = std::nullopt;
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(state_->port) + path;
}

int LoopbackServer::requestCount(const std::string& path) const {
    std::lock_guard lock(state_->mutex);
    const auto found = state_->counts.find(path);
    return found == state_->counts.end() ? 0 : found->second;
}

std::string LoopbackServer::refusingURL() {
    // A port the system just handed out and that nobody listens on any more.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/appcast.xml";
}

}  // namespace talvori::testing
