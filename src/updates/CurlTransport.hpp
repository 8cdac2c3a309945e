#pragma once

#include <map>
#include <memory>

#include "platform/core/RunLoop.hpp"
#include "updates/HttpTransport.hpp"

namespace talvori::updates {

// HTTP(S) through libcurl's multi interface, driven by the run loop: curl's sockets are watched by
// the loop and its timer is a piece of scheduled work, so no call ever waits on the network. Each
// transfer's time-out is measured on the loop's clock.
class CurlTransport final : public HttpTransport,
                            public std::enable_shared_from_this<CurlTransport> {
  public:
    static std::shared_ptr<CurlTransport> make(std::shared_ptr<RunLoop> loop);
    ~CurlTransport() override;
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    TransferID start(HttpRequest request, Completion completion) override;
    void cancel(TransferID transfer) override;

    std::size_t activeTransferCount() const { return transfers_.size(); }
    // Waits up to `maxWaitSeconds` of real time for this transport's sockets, serves them and runs
    // what is due on the loop, without moving its clock. A run loop on virtual time never polls
    // descriptors, so tests that talk to a real server on the loopback address pump it this way.
    void serveSockets(double maxWaitSeconds);

  private:
    struct Transfer;

    explicit CurlTransport(std::shared_ptr<RunLoop> loop);
    static int onSocket(void* easy, int socket, int what, void* self, void* socketData);
    static int onTimer(void* multi, long milliseconds, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* transfer);

    void watchSocket(int socket, int what);
    void scheduleCurlTimer(long milliseconds);
    void socketReady(int socket, short revents);
    void curlTimerFired();
    void collectFinished();
    void postProgress(Transfer& transfer);
    void finish(TransferID id, std::optional<HttpResult> result);
    HttpResult resultOf(Transfer& transfer, int code) const;

    std::shared_ptr<RunLoop> loop_;
    void* multi_ = nullptr;
    TransferID nextID_ = 1;
    std::map<TransferID, std::unique_ptr<Transfer>> transfers_;
    std::map<int, std::shared_ptr<FileWatch>> watches_;
    std::optional<ScheduledWork> curlTimer_;
};

}  // namespace talvori::updates
