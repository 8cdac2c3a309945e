#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/atspi/harness/ScopedVariable.hpp"
#include "platform/freedesktop/AccessibilityStatus.hpp"
#include "platform/freedesktop/AtspiBridge.hpp"
#include "platform/freedesktop/SessionBus.hpp"
#include "platform/freedesktop/SpeechAnnouncer.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/harness/X11TestBus.hpp"

namespace talvori::testing {
namespace {

// The speech service as screen readers use it: a socket speaking its line protocol, recording
// what it was asked to say and how urgently.
class TestSpeechService {
  public:
    TestSpeechService() {
        path_ = (std::filesystem::temp_directory_path() /
                 ("talvori-speech-" + std::to_string(::getpid()) + ".sock"))
                    .string();
        ::unlink(path_.c_str());
        listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 4);
        if (::pipe(stop_) == 0) thread_ = std::thread([this] { serve(); });
        if (const char* before = std::getenv("SPEECHD_ADDRESS")) previous_ = before;
        ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + path_).c_str(), 1);
    }
    ~TestSpeechService() {
        (void)::write(stop_[1], "x", 1);
        if (thread_.joinable()) thread_.join();
        ::close(stop_[0]);
        ::close(stop_[1]);
        ::close(listener_);
        ::unlink(path_.c_str());
        if (previous_) {
            ::setenv("SPEECHD_ADDRESS", previous_->c_str(), 1);
        } else {
            ::unsetenv("SPEECHD_ADDRESS");
        }
    }
    // "priority: text", in order.
    std::vector<std::string> spoken() const {
        std::lock_guard lock(mutex_);
        return spoken_;
    }
    int connections() const {
        std::lock_guard lock(mutex_);
        return connections_;
    }
    // From now on it reads and never answers, as a hung service does.
    void fallSilent() { mute_ = true; }
    // From now on each answer takes `delay`, as a service busy with its sound output.
    void answerAfter(std::chrono::milliseconds delay) { delay_ = delay.count(); }
    const std::string& path() const { return path_; }

  private:
    void serve() {
        std::vector<pollfd> fds{{stop_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        std::vector<std::string> buffers(2);
        std::string priority;
        std::string text;
        bool receiving = false;
        while (::poll(fds.data(), fds.size(), -1) > 0 && !(fds[0].revents & POLLIN)) {
            if (fds[1].revents & POLLIN) {
                fds.push_back({::accept(listener_, nullptr, nullptr), POLLIN, 0});
                buffers.emplace_back();
                std::lock_guard lock(mutex_);
                ++connections_;
            }
            for (std::size_t index = 2; index < fds.size(); ++index) {
                if (!(fds[index].revents & (POLLIN | POLLHUP))) continue;
                char chunk[512];
                const ssize_t got = ::read(fds[index].fd, chunk, sizeof chunk);
                if (got <= 0) {
                    ::close(fds[index].fd);
                    fds[index].fd = -1;
                    continue;
                }
                std::string& buffer = buffers[index];
                buffer.append(chunk, static_cast<std::size_t>(got));
                for (auto end = buffer.find("\r\n"); end != std::string::npos;
                     end = buffer.find("\r\n")) {
                    const std::string line = buffer.substr(0, end);
                    buffer.erase(0, end + 2);
                    std::string command = line;
                    for (auto& c : command) c = static_cast<char>(std::toupper(c));
                    std::string reply;
                    if (mute_) {
                        continue;
                    } else if (receiving && line == ".") {
                        receiving = false;
                        std::lock_guard lock(mutex_);
                        spoken_.push_back(priority + ": " + text);
                        text.clear();
                        reply = "225-1\r\n225 OK MESSAGE QUEUED\r\n";
                    } else if (receiving) {
                        text += line;
                        continue;
                    } else if (command == "SPEAK") {
                        receiving = true;
                        reply = "230 OK RECEIVING DATA\r\n";
                    } else if (command.rfind("SET SELF PRIORITY ", 0) == 0) {
                        priority = line.substr(18);
                        for (auto& c : priority) c = static_cast<char>(std::tolower(c));
                        reply = "202 OK PRIORITY SET\r\n";
                    } else if (command == "QUIT") {
                        reply = "231 HAPPY HACKING\r\n";
                    } else {
                        reply = "208 OK\r\n";
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(delay_.load()));
                    (void)::write(fds[index].fd, reply.data(), reply.size());
                }
            }
            std::erase_if(fds, [](const pollfd& fd) { return fd.fd < 0; });
        }
        for (std::size_t index = 2; index < fds.size(); ++index) ::close(fds[index].fd);
    }

    std::string path_;
    std::optional<std::string> previous_;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> spoken_;
    int connections_ = 0;
    std::atomic<bool> mute_ = false;
    std::atomic<long> delay_ = 0;
};

// The accessibility bus's launcher, as the desktop keeps it: whether a screen reader runs, and
// where the accessibility bus is.
class TestAccessibilityStatus {
  public:
    explicit TestAccessibilityStatus(const X11TestBus& bus) : bus_(bus.connect()) {
        sd_bus_add_object_vtable(bus_, &object_, "/org/a11y/bus", "org.a11y.Status", kVTable, this);
        sd_bus_add_object_vtable(bus_, &launcher_, "/org/a11y/bus", "org.a11y.Bus", kLauncherVTable,
                                 this);
        sd_bus_request_name(bus_, "org.a11y.Bus", 0);
        watch_ = platform().runLoop().watch(sd_bus_get_fd(bus_), POLLIN,
                                            [this](short) { processBus(bus_); });
    }
    ~TestAccessibilityStatus() {
        watch_.reset();
        sd_bus_slot_unref(object_);
        sd_bus_slot_unref(launcher_);
        sd_bus_flush_close_unref(bus_);
    }
    void setScreenReader(bool running) {
        running_ = running;
        sd_bus_emit_properties_changed(bus_, "/org/a11y/bus", "org.a11y.Status",
                                       "ScreenReaderEnabled", nullptr);
        sd_bus_flush(bus_);
    }
    void setBusAddress(std::string address) { address_ = std::move(address); }
    // How often the status was read.
    int reads() const { return reads_; }

  private:
    static int screenReader(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                            void* self, sd_bus_error*) {
        auto& status = *static_cast<TestAccessibilityStatus*>(self);
        ++status.reads_;
        return sd_bus_message_append(reply, "b", status.running_ ? 1 : 0);
    }
    static constexpr sd_bus_vtable kVTable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("ScreenReaderEnabled", "b", screenReader, 0,
                        SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_VTABLE_END};
    static int address(sd_bus_message* call, void* self, sd_bus_error*) {
        return sd_bus_reply_method_return(
            call, "s", static_cast<TestAccessibilityStatus*>(self)->address_.c_str());
    }
    static constexpr sd_bus_vtable kLauncherVTable[] = {
        SD_BUS_VTABLE_START(0), SD_BUS_METHOD("GetAddress", "", "s", address, 0),
        SD_BUS_VTABLE_END};

    sd_bus* bus_;
    sd_bus_slot* object_ = nullptr;
    sd_bus_slot* launcher_ = nullptr;
    std::string address_;
    std::shared_ptr<FileWatch> watch_;
    bool running_ = false;
    int reads_ = 0;
};

class SpeechAnnouncerTest : public X11DesktopTest {
  protected:
    SpeechAnnouncerTest() : X11DesktopTest({.windowManager = false, .compositor = false}) {}
    void SetUp() override {
        ASSERT_TRUE(session().isReady()) << session().error();
        // Before the desktop, which finds its session bus as it starts.
        bus = std::make_unique<X11TestBus>(session());
        ASSERT_TRUE(bus->isReady()) << bus->error();
        X11DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        status = std::make_unique<TestAccessibilityStatus>(*bus);
        announcer = freedesktop::SpeechAnnouncer::make(
            freedesktop::AccessibilityStatus::make(
                freedesktop::SessionBus::open(platform().runLoop(), platform().logger("Bus"))),
            platform().logger("Announcements"));
        ASSERT_TRUE(runUntil([&] { return status->reads() > 0; })) << "nobody asked";
    }
    void setScreenReader(bool running) {
        status->setScreenReader(running);
        ASSERT_TRUE(runUntil([&] { return announcer->isScreenReaderRunning() == running; }));
    }

    TestSpeechService speech;
    std::unique_ptr<X11TestBus> bus;
    std::unique_ptr<TestAccessibilityStatus> status;
    std::shared_ptr<freedesktop::SpeechAnnouncer> announcer;
};

TEST_F(SpeechAnnouncerTest, SpeaksOnlyWhileAScreenReaderRunsAndHighPriorityInterrupts) {
    announcer->announce("Cover hidden", Announcer::kHighPriority);
    EXPECT_EQ(speech.connections(), 0);

    setScreenReader(true);
    announcer->announce("Cover hidden", Announcer::kHighPriority);
    announcer->announce("Layout applied", 50);
    EXPECT_TRUE(runUntil([&] { return speech.spoken().size() == 2; }));
    EXPECT_EQ(speech.spoken(),
              (std::vector<std::string>{"important: Cover hidden", "message: Layout applied"}));

    // A reader that takes announcements over the accessibility bus hears them there only.
    std::vector<std::string> overTheBus;
    bool readerListens = true;
    announcer->setAccessibilityBus([&](const std::string& text, int) {
        if (readerListens) overTheBus.push_back(text);
        return readerListens;
    });
    announcer->announce("Layout saved", 50);
    readerListens = false;
    announcer->announce("Layout deleted", 50);
    EXPECT_TRUE(runUntil([&] { return speech.spoken().size() == 3; }));
    EXPECT_EQ(overTheBus, std::vector<std::string>{"Layout saved"});
    EXPECT_EQ(speech.spoken().back(), "message: Layout deleted");

    setScreenReader(false);
    announcer->announce("Cover shown", Announcer::kHighPriority);
    catchUp();
    EXPECT_EQ(speech.spoken().size(), 3U);
}

// An accessibility bus that takes the connection and never answers (the silent speech service's
// socket stands in for it) holds nothing up either.
TEST_F(SpeechAnnouncerTest, AnAccessibilityBusThatNeverAnswersHoldsNothingUp) {
    speech.fallSilent();
    status->setBusAddress("unix:path=" + speech.path());
    setScreenReader(true);
    ASSERT_TRUE(runUntil([&] { return speech.connections() > 0; })) << "the bridge never came";
    EXPECT_FALSE(runUntil([&] { return desktop().accessibilityBridge().isRegistered(); }, 0.5));
    // Nor does the connection's end, which before waited for the bus's greeting (over a minute).
    const auto ending = std::chrono::steady_clock::now();
    setScreenReader(false);
    EXPECT_LT(std::chrono::steady_clock::now() - ending, std::chrono::seconds(1));
}

// A service that answers each exchange in 350 ms (an announcement takes three, a new connection
// one more) is slow, not stuck: every announcement is spoken.
TEST_F(SpeechAnnouncerTest, ASlowServiceSpeaksEveryAnnouncement) {
    setScreenReader(true);
    speech.answerAfter(std::chrono::milliseconds(350));
    const std::vector<std::string> texts{"Focus on", "Focus off", "Cover hidden"};
    for (std::size_t index = 0; index < texts.size(); ++index) {
        announcer->announce(texts[index], 50);
        EXPECT_TRUE(runUntil([&] { return speech.spoken().size() == index + 1; })) << texts[index];
    }
    EXPECT_EQ(speech.spoken(), (std::vector<std::string>{"message: Focus on", "message: Focus off",
                                                         "message: Cover hidden"}));
    EXPECT_FALSE(logs().contains("stopped answering"));
}

// The service the speech library starts when none runs is started from the announcer's thread:
// it must not inherit that thread's blocked signals, so that the session's end can stop it.
TEST_F(SpeechAnnouncerTest, TheServiceItStartsHasNoSignalBlockedAndEndsOnSigterm) {
    const std::filesystem::path folder = std::filesystem::path(speech.path()) += ".spawn";
    std::filesystem::create_directories(folder);
    const auto record = folder / "record";
    const auto standIn = folder / "speech-service";
    // Read by the shell itself, which has changed neither yet; then the stand-in waits.
    std::ofstream(standIn) << "#!/bin/sh\n{ echo $$; while read -r key value; do case $key in "
                              "SigBlk:|SigIgn:) echo \"$value\";; esac; done < /proc/$$/status; "
                              "} > '"
                           << record.string() << ".new' && mv '" << record.string() << ".new' '"
                           << record.string() << "'\nexec sleep 30\n";
    std::filesystem::permissions(standIn, std::filesystem::perms::owner_all);
    const ScopedVariable command("SPEECHD_CMD", standIn.string());
    const ScopedVariable address("SPEECHD_ADDRESS", "unix_socket:" + (folder / "none").string());
    setScreenReader(true);
    announcer->announce("Focus on", 50);
    std::vector<std::string> lines;
    EXPECT_TRUE(runUntil([&] {
        std::ifstream file(record);
        lines.clear();
        for (std::string line; std::getline(file, line);) lines.push_back(line);
        return lines.size() == 3;
    })) << "the service was not started";
    if (lines.size() == 3) {
        // Signals 32 and 33 are the C library's own.
        constexpr unsigned long long kOrdinarySignals = 0x7fffffff;
        EXPECT_EQ(std::stoull(lines[1], nullptr, 16) & kOrdinarySignals, 0U) << "blocked";
        EXPECT_EQ(std::stoull(lines[2], nullptr, 16) & kOrdinarySignals, 0U) << "ignored";
        const pid_t service = std::stoi(lines[0]);
        ::kill(service, SIGTERM);
        const auto process = "/proc/" + lines[0];
        EXPECT_TRUE(runUntil([&] { return !std::filesystem::exists(process); }, 2));
        ::kill(service, SIGKILL);
    }
    std::filesystem::remove_all(folder);
}

// A service that accepts and never answers, from its greeting on (`Silent::fromTheStart`) or
// after it spoke (`Silent::afterSpeaking`), costs an announcement, never the program: nothing
// waits for it, not even the announcer's end, and it is left alone for a while.
enum class Silent { fromTheStart, afterSpeaking };

class SpeechAnnouncerSilenceTest : public SpeechAnnouncerTest,
                                   public ::testing::WithParamInterface<Silent> {};

TEST_P(SpeechAnnouncerSilenceTest, ASilentServiceCostsTheAnnouncementNotTheProgram) {
    setScreenReader(true);
    if (GetParam() == Silent::afterSpeaking) {
        announcer->announce("Cover hidden", 50);
        ASSERT_TRUE(runUntil([&] { return speech.spoken().size() == 1; }));
    }
    speech.fallSilent();
    const auto handedOver = std::chrono::steady_clock::now();
    announcer->announce("Focus on", 50);
    EXPECT_LT(std::chrono::steady_clock::now() - handedOver, std::chrono::seconds(1));
    EXPECT_TRUE(runUntil(
        [&] {
            return logs().contains(
                "The speech service stopped answering: 1 announcement(s) dropped, and it is asked "
                "again in 1 s at the earliest");
        },
        8));
    const int connections = speech.connections();
    EXPECT_EQ(connections, 1);
    announcer->announce("Focus off", 50);
    runUntil([] { return false; }, 0.5);
    EXPECT_EQ(speech.connections(), connections) << "asked again at once";
    announcer.reset();
}

INSTANTIATE_TEST_SUITE_P(Silence, SpeechAnnouncerSilenceTest,
                         ::testing::Values(Silent::fromTheStart, Silent::afterSpeaking));

}  // namespace
}  // namespace talvori::testing
