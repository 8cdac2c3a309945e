#include "updates/CurlTransport.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/core/weakly.hpp"

namespace talvori::updates {

struct CurlTransport::Transfer {
    TransferID id = 0;
    CURL* easy = nullptr;
    HttpRequest request;
    Completion completion;
    std::string body;
    std::FILE* file = nullptr;
    std::uint64_t received = 0;
    bool tooLarge = false;
    bool fileFailed = false;
    bool progressPosted = false;
    std::optional<ScheduledWork> deadline;
    char errorText[CURL_ERROR_SIZE] = {};
};

namespace {

CURLM* multiOf(void* multi) {
    return static_cast<CURLM*>(multi);
}

// Opened for writing from the start, never through a link and never a device or a pipe that
// would block the loop: whoever can put a name in the folder cannot steer the body elsewhere.
std::FILE* openDestination(const std::string& path) {
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) ::close(fd);
    return file;
}

}  // namespace

std::shared_ptr<CurlTransport> CurlTransport::make(std::shared_ptr<RunLoop> loop) {
    // libcurl's process-wide set-up, done once before the first handle.
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialised;
    return std::shared_ptr<CurlTransport>(new CurlTransport(std::move(loop)));
}

CurlTransport::CurlTransport(std::shared_ptr<RunLoop> loop) : loop_(std::move(loop)) {
    CURLM* multi = curl_multi_init();
    multi_ = multi;
    using SocketFunction = int (*)(CURL*, curl_socket_t, int, void*, void*);
    using TimerFunction = int (*)(CURLM*, long, void*);
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION,
                      reinterpret_cast<SocketFunction>(&CurlTransport::onSocket));
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION,
                      reinterpret_cast<TimerFunction>(&CurlTransport::onTimer));
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
}

CurlTransport::~CurlTransport() {
    while (!transfers_.empty()) finish(transfers_.begin()->first, std::nullopt);
    if (curlTimer_) loop_->cancel(*curlTimer_);
    watches_.clear();
    curl_multi_cleanup(multiOf(multi_));
}

HttpTransport::TransferID CurlTransport::start(HttpRequest request, Completion completion) {
    const TransferID id = nextID_++;
    if (!isWebAddress(request.url)) {
        HttpResult result;
        result.outcome = HttpResult::Outcome::unsupportedAddress;
        result.errorDescription = "Only http and https addresses are fetched.";
        loop_->post([completion = std::move(completion), result = std::move(result)] {
            completion(result);
        });
        return id;
    }

    auto transfer = std::make_unique<Transfer>();
    transfer->id = id;
    transfer->request = std::move(request);
    transfer->completion = std::move(completion);
    if (transfer->request.destinationPath) {
        transfer->file = openDestination(*transfer->request.destinationPath);
        if (!transfer->file) {
            HttpResult result;
            result.outcome = HttpResult::Outcome::fileFailure;
            result.errorDescription = "The download could not be written.";
            loop_->post(
                [completion = std::move(transfer->completion), result] { completion(result); });
            return id;
        }
    }

    CURL* easy = curl_easy_init();
    transfer->easy = easy;
    curl_easy_setopt(easy, CURLOPT_URL, transfer->request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // The name is looked up on a thread of libcurl's own; without this, a transfer ended while the
    // lookup waits for a name server (timed out, cancelled, or at quit) would wait for it too.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    // Compressed bodies are unpacked, so the size limit applies to what is actually kept.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(transfer->request.maximumBytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransport::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorText);
    curl_easy_setopt(easy, CURLOPT_PRIVATE,
                     reinterpret_cast<void*>(static_cast<std::uintptr_t>(id)));

    std::weak_ptr<CurlTransport> weak = weak_from_this();
    transfer->deadline = loop_->schedule(
        addSaturating(loop_->now(), nanosecondsFromSeconds(transfer->request.timeoutSeconds)),
        RunLoopMode::common, weakly(weak, [id](CurlTransport& self) {
            HttpResult result;
            result.outcome = HttpResult::Outcome::timedOut;
            result.errorDescription = "The request timed out.";
            self.finish(id, std::move(result));
        }));
    transfers_.emplace(id, std::move(transfer));
    curl_multi_add_handle(multiOf(multi_), easy);
    return id;
}

void CurlTransport::cancel(TransferID transfer) {
    finish(transfer, std::nullopt);
}

std::size_t CurlTransport::onBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& transfer = *static_cast<Transfer*>(context);
    const std::uint64_t bytes = static_cast<std::uint64_t>(size) * count;
    if (transfer.received + bytes > transfer.request.maximumBytes) {
        transfer.tooLarge = true;
        return 0;
    }
    if (transfer.file) {
        if (std::fwrite(data, 1, bytes, transfer.file) != bytes) {
            transfer.fileFailed = true;
            return 0;
        }
    } else {
        transfer.body.append(data, bytes);
    }
    transfer.received += bytes;
    return bytes;
}

int CurlTransport::onSocket(void*, int socket, int what, void* self, void*) {
    static_cast<CurlTransport*>(self)->watchSocket(socket, what);
    return 0;
}

int CurlTransport::onTimer(void*, long milliseconds, void* self) {
    static_cast<CurlTransport*>(self)->scheduleCurlTimer(milliseconds);
    return 0;
}

void CurlTransport::watchSocket(int socket, int what) {
    watches_.erase(socket);
    if (what == CURL_POLL_REMOVE) return;
    short events = 0;
    if (what & CURL_POLL_IN) events |= POLLIN;
    if (what & CURL_POLL_OUT) events |= POLLOUT;
    std::weak_ptr<CurlTransport> weak = weak_from_this();
    watches_[socket] =
        loop_->watch(socket, events, weakly(weak, [socket](CurlTransport& self, short revents) {
                         self.socketReady(socket, revents);
                     }));
}

void CurlTransport::scheduleCurlTimer(long milliseconds) {
    if (curlTimer_) loop_->cancel(*curlTimer_);
    curlTimer_.reset();
    if (milliseconds < 0) return;
    std::weak_ptr<CurlTransport> weak = weak_from_this();
    const auto due = addSaturating(loop_->now(), nanosecondsFromSeconds(milliseconds / 1000.0));
    curlTimer_ =
        loop_->schedule(due, RunLoopMode::common, weakly(weak, &CurlTransport::curlTimerFired));
}

void CurlTransport::socketReady(int socket, short revents) {
    int mask = 0;
    if (revents & (POLLIN | POLLHUP)) mask |= CURL_CSELECT_IN;
    if (revents & POLLOUT) mask |= CURL_CSELECT_OUT;
    if (revents & (POLLERR | POLLNVAL)) mask |= CURL_CSELECT_ERR;
    int running = 0;
    curl_multi_socket_action(multiOf(multi_), socket, mask, &running);
    collectFinished();
}

void CurlTransport::serveSockets(double maxWaitSeconds) {
    std::vector<pollfd> descriptors;
    for (const auto& [socket, watch] : watches_) descriptors.push_back({socket, watch->events, 0});
    const int ready =
        ::poll(descriptors.data(), descriptors.size(), static_cast<int>(maxWaitSeconds * 1000));
    if (ready > 0) {
        for (const auto& descriptor : descriptors) {
            if (descriptor.revents && watches_.contains(descriptor.fd)) {
                socketReady(descriptor.fd, descriptor.revents);
            }
        }
    }
    loop_->runUntil(loop_->now());
}

void CurlTransport::curlTimerFired() {
    curlTimer_.reset();
    int running = 0;
    curl_multi_socket_action(multiOf(multi_), CURL_SOCKET_TIMEOUT, 0, &running);
    collectFinished();
}

void CurlTransport::collectFinished() {
    int remaining = 0;
    while (CURLMsg* message = curl_multi_info_read(multiOf(multi_), &remaining)) {
        if (message->msg != CURLMSG_DONE) continue;
        void* privateData = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &privateData);
        const auto id = static_cast<TransferID>(reinterpret_cast<std::uintptr_t>(privateData));
        const auto found = transfers_.find(id);
        if (found == transfers_.end()) continue;
        HttpResult result = resultOf(*found->second, message->data.result);
        finish(id, std::move(result));
    }
    for (auto& [id, transfer] : transfers_) {
        if (transfer->request.onProgress && transfer->received > 0) postProgress(*transfer);
    }
}

void CurlTransport::postProgress(Transfer& transfer) {
    if (transfer.progressPosted) return;
    transfer.progressPosted = true;
    std::weak_ptr<CurlTransport> weak = weak_from_this();
    loop_->post(weakly(weak, [id = transfer.id](CurlTransport& self) {
        const auto found = self.transfers_.find(id);
        if (found == self.transfers_.end()) return;
        Transfer& transfer = *found->second;
        transfer.progressPosted = false;
        curl_off_t expected = -1;
        curl_easy_getinfo(transfer.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
        // The handler may cancel the transfer, so it gets copies.
        auto onProgress = transfer.request.onProgress;
        onProgress(transfer.received, expected > 0 ? static_cast<std::uint64_t>(expected) : 0);
    }));
}

HttpResult CurlTransport::resultOf(Transfer& transfer, int code) const {
    HttpResult result;
    if (code == CURLE_OK) {
        result.outcome = HttpResult::Outcome::completed;
        curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &result.status);
        result.body = std::move(transfer.body);
        return result;
    }
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.outcome = HttpResult::Outcome::tooLarge;
        result.errorDescription = "The response is too large.";
    } else if (transfer.fileFailed) {
        result.outcome = HttpResult::Outcome::fileFailure;
        result.errorDescription = "The download could not be written.";
    } else {
        result.outcome = HttpResult::Outcome::transportFailure;
        result.errorDescription =
            transfer.errorText[0] ? std::string(transfer.errorText)
                                  : std::string(curl_easy_strerror(static_cast<CURLcode>(code)));
    }
    return result;
}

void CurlTransport::finish(TransferID id, std::optional<HttpResult> result) {
    const auto found = transfers_.find(id);
    if (found == transfers_.end()) return;
    std::unique_ptr<Transfer> transfer = std::move(found->second);
    transfers_.erase(found);
    if (transfer->deadline) loop_->cancel(*transfer->deadline);
    // The last data may have come with the end of the transfer; its progress comes before the end.
    if (result && transfer->request.onProgress && transfer->received > 0) {
        loop_->post([onProgress = transfer->request.onProgress, received = transfer->received] {
            onProgress(received, received);
        });
    }
    curl_multi_remove_handle(multiOf(multi_), transfer->easy);
    curl_easy_cleanup(transfer->easy);
    if (transfer->file) {
        const bool closed = std::fclose(transfer->file) == 0;
        if (result && result->outcome == HttpResult::Outcome::completed && !closed) {
            result->outcome = HttpResult::Outcome::fileFailure;
            result->errorDescription = "The download could not be written.";
        }
        // A transfer that did not finish leaves no partial file behind.
        if (!result || result->outcome != HttpResult::Outcome::completed) {
            std::error_code ignored;
            std::filesystem::remove(*transfer->request.destinationPath, ignored);
        }
    }
    if (!result) return;
    loop_->post([completion = std::move(transfer->completion), result = std::move(*result)] {
        completion(result);
    });
}

}  // namespace talvori::updates
