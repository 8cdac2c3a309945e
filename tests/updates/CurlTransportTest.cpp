#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/LoopbackServer.hpp"
#include "support/PlatformTest.hpp"
#include "updates/CurlTransport.hpp"

namespace talvori::updates {
namespace {

class CurlTransportTest : public testing::PlatformTest {
  protected:
    std::optional<HttpResult> fetch(HttpRequest request) {
        std::optional<HttpResult> result;
        transport->start(std::move(request), [&result](HttpResult r) { result = std::move(r); });
        testing::pumpNetworkUntil(*transport, [&] { return result.has_value(); });
        return result;
    }
    HttpRequest get(const std::string& path) {
        HttpRequest request;
        request.url = server.url(path);
        request.timeoutSeconds = 10;
        return request;
    }

    testing::LoopbackServer server;
    std::shared_ptr<CurlTransport> transport = CurlTransport::make(platform().sharedRunLoop());
};

TEST_F(CurlTransportTest, DeliversStatusAndBodyOnALaterTurn) {
    server.serve("/notes", {200, "<li>Faster</li>"});
    server.serve("/gone", {410, "gone"});

    bool calledSynchronously = false;
    transport->start(get("/notes"), [&](HttpResult) { calledSynchronously = true; });
    EXPECT_FALSE(calledSynchronously);

    const auto ok = fetch(get("/notes"));
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->isSuccess());
    EXPECT_EQ(ok->body, "<li>Faster</li>");

    const auto gone = fetch(get("/gone"));
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->outcome, HttpResult::Outcome::completed);
    EXPECT_EQ(gone->status, 410);
    EXPECT_FALSE(gone->isSuccess());
}

TEST_F(CurlTransportTest, FailuresAreReportedNotHung) {
    HttpRequest refused;
    refused.url = testing::LoopbackServer::refusingURL();
    EXPECT_EQ(fetch(refused)->outcome, HttpResult::Outcome::transportFailure);

    for (const char* address :
         {"file:///etc/passwd", "ftp://127.0.0.1/x", "gopher://x", "http://"}) {
        HttpRequest request;
        request.url = address;
        EXPECT_EQ(fetch(request)->outcome, HttpResult::Outcome::unsupportedAddress) << address;
    }

    server.serve("/big", {200, std::string(2000, 'x')});
    auto capped = get("/big");
    capped.maximumBytes = 1000;
    EXPECT_EQ(fetch(capped)->outcome, HttpResult::Outcome::tooLarge);
}

TEST_F(CurlTransportTest, TimesOutOnTheRunLoopsClock) {
    server.hang("/slow");
    std::optional<HttpResult> result;
    transport->start(get("/slow"), [&result](HttpResult r) { result = std::move(r); });
    testing::pumpNetworkUntil(*transport, [&] { return server.requestCount("/slow") == 1; });
    advance(9.9);
    EXPECT_FALSE(result);
    advance(0.1);
    runUntilIdle();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outcome, HttpResult::Outcome::timedOut);
    EXPECT_EQ(transport->activeTransferCount(), 0u);
}

TEST_F(CurlTransportTest, WritesIntoTheDestinationAndLeavesNoPartialFile) {
    const auto directory = std::filesystem::temp_directory_path() /
                           ("talvori-transport-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const std::string path = (directory / "file.part").string();

    server.serve("/file", {200, "contents", "application/octet-stream"});
    auto request = get("/file");
    request.destinationPath = path;
    std::uint64_t progress = 0;
    request.onProgress = [&](std::uint64_t received, std::uint64_t) { progress = received; };
    EXPECT_TRUE(fetch(request)->isSuccess());
    std::ifstream file(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "contents");
    EXPECT_EQ(progress, 8u);

    request.maximumBytes = 4;
    EXPECT_EQ(fetch(request)->outcome, HttpResult::Outcome::tooLarge);
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::remove_all(directory);
}

TEST_F(CurlTransportTest, CancelledTransferNeverCompletes) {
    server.hang("/slow");
    bool completed = false;
    const auto id = transport->start(get("/slow"), [&](HttpResult) { completed = true; });
    testing::pumpNetworkUntil(*transport, [&] { return server.requestCount("/slow") == 1; });
    transport->cancel(id);
    advance(20);
    EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace talvori::updates
