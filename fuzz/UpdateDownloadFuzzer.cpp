// An update's download, from the feed's address of it to the file in the download folder: the
// address's last segment names the file, and the feed is signed, so a name is all an attacker who
// controls the address but not the key chooses.
#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FuzzTarget.hpp"
#include "platform/Platform.hpp"
#include "platform/core/Base64.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "updates/Updater.hpp"
#include "updates/UserDriver.hpp"

using namespace talvori;
using namespace talvori::updates;
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPayload = "an update archive";

struct Key {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    Key() {
        if (sodium_init() < 0) fuzz::fail("no libsodium");
        crypto_sign_keypair(publicKey, secretKey);
    }
    std::string signature() const {
        Data signature(crypto_sign_BYTES);
        crypto_sign_detached(signature.data(), nullptr,
                             reinterpret_cast<const unsigned char*>(kPayload.data()),
                             kPayload.size(), secretKey);
        return Base64::encode(signature);
    }
};

std::string xmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// Serves the feed, and the download into the file the updater made for it, at once.
class FeedTransport final : public HttpTransport {
  public:
    explicit FeedTransport(std::string feed) : feed_(std::move(feed)) {}
    TransferID start(HttpRequest request, Completion completion) override {
        HttpResult result;
        result.outcome = HttpResult::Outcome::completed;
        result.status = 200;
        if (!request.destinationPath) {
            result.body = feed_;
        } else if (!writeDownload(*request.destinationPath)) {
            result.outcome = HttpResult::Outcome::fileFailure;
        }
        platform().runLoop().post([completion, result] { completion(result); });
        return ++transfers_;
    }
    void cancel(TransferID) override {}

  private:
    // As the real transport opens it: never through a link, never created anew elsewhere.
    static bool writeDownload(const std::string& path) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return false;
        const bool written =
            ::write(fd, kPayload.data(), kPayload.size()) == static_cast<ssize_t>(kPayload.size());
        ::close(fd);
        return written;
    }
    std::string feed_;
    TransferID transfers_ = 0;
};

// Installs whatever is found, and acknowledges whatever it is told.
class InstallingDriver final : public UserDriver {
  public:
    void showUserInitiatedUpdateCheck(std::function<void()>) override {}
    void showUpdateFound(const AppcastItem&, const UserUpdateState&,
                         std::function<void(UserUpdateChoice)> reply) override {
        platform().runLoop().post([reply] { reply(UserUpdateChoice::install); });
    }
    void showUpdateNotFound(std::function<void()> acknowledgement) override {
        done(acknowledgement);
    }
    void showDownloadInitiated(std::function<void()>) override {}
    void showDownloadDidReceiveExpectedContentLength(std::uint64_t) override {}
    void showDownloadDidReceiveData(std::uint64_t) override {}
    void showDownloadDidFinish(const std::string& path, bool,
                               std::function<void()> acknowledgement) override {
        finishedPath = path;
        done(acknowledgement);
    }
    void showUpdaterError(const UpdateError&, std::function<void()> acknowledgement) override {
        done(acknowledgement);
    }
    void dismissUpdateInstallation() override { dismissed = true; }

    std::string finishedPath;
    bool dismissed = false;

  private:
    static void done(const std::function<void()>& acknowledgement) {
        platform().runLoop().post([acknowledgement] { acknowledgement(); });
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::installPlatform();
    static const auto desktop = sim::SimDesktop::install(platform(), {});
    static const Key key;
    const fs::path scratch = fuzz::scratchFolder();
    const fs::path downloads = scratch / "Downloads";
    fs::create_directories(downloads);

    const std::string name(fuzz::text(data, size));
    const std::string url = "https://example.test/" + name;
    const std::string feed =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
        "xmlns:u=\"urn:talvori:updates:appcast\"><channel><title>Talvori</title><item>"
        "<u:version>50</u:version><enclosure url=\"" +
        xmlEscaped(url) + "\" length=\"" + std::to_string(kPayload.size()) +
        "\" type=\"application/octet-stream\" u:edSignature=\"" + key.signature() +
        "\"/></item></channel></rss>\n";
    auto driver = std::make_shared<InstallingDriver>();
    const Data publicKey(std::begin(key.publicKey), std::end(key.publicKey));
    auto updater = Updater::make({"Talvori", "49", "1.2.9", "https://example.test/appcast.xml",
                                  Base64::encode(publicKey), ""},
                                 driver, {}, std::make_shared<FeedTransport>(feed));
    updater->setDownloadDirectory(downloads.string());
    fuzz::check(updater->start(), "the updater does not start");
    updater->checkForUpdates();
    for (int turn = 0; turn < 100 && !driver->dismissed; ++turn)
        platform().runLoop().runUntil(platform().runLoop().now());
    fuzz::check(driver->dismissed, "the session never ended");

    // Whatever the name, the download is one file right in the download folder, or nothing.
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(scratch)) {
        const bool inFolder = entry.is_regular_file() && entry.path().parent_path() == downloads;
        fuzz::check(inFolder || entry.path() == downloads,
                    "the download left something outside the download folder");
        files += entry.is_regular_file() ? 1 : 0;
    }
    fuzz::check(files == (driver->finishedPath.empty() ? 0u : 1u),
                "a partial download was left behind, or the finished one is missing");
    if (!driver->finishedPath.empty()) {
        const fs::path finished = driver->finishedPath;
        fuzz::check(finished.parent_path() == downloads, "the download is not in its folder");
        fuzz::check(finished.filename().string().size() <= 255, "the file name is too long");
        std::ifstream file(finished, std::ios::binary);
        fuzz::check(std::string(std::istreambuf_iterator<char>(file), {}) == kPayload,
                    "the saved file is not the download");
    }
    return 0;
}
