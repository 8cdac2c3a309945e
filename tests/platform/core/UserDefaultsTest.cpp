#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/core/DefaultsFile.hpp"
#include "platform/core/Json.hpp"
#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

namespace fs = std::filesystem;
using testing::PlatformTest;

class UserDefaultsTest : public PlatformTest {};

TEST_F(UserDefaultsTest, ReadsOfAnotherTypeAreAbsent) {
    auto& defaults = platform().userDefaults();
    defaults.set("flag", false);
    defaults.set("presets", Data{'[', ']'});
    defaults.set("name", "Overlay 1");
    defaults.set("count", 3);
    EXPECT_EQ(defaults.boolValue("flag"), false);
    EXPECT_EQ(defaults.data("flag"), std::nullopt);
    EXPECT_EQ(defaults.string("presets"), std::nullopt);
    EXPECT_EQ(defaults.data("presets"), (Data{'[', ']'}));
    EXPECT_EQ(defaults.data("name"), std::nullopt);
    EXPECT_EQ(defaults.doubleValue("count"), std::nullopt);
    EXPECT_EQ(defaults.integer("count"), 3);
    EXPECT_EQ(defaults.boolValue("missing"), std::nullopt);
    defaults.removeObject("flag");
    EXPECT_EQ(defaults.boolValue("flag"), std::nullopt);
    EXPECT_EQ(defaults.writeCount(), 5u);
}

TEST_F(UserDefaultsTest, RegisteredDefaultsFillInForMissingKeys) {
    auto& defaults = platform().userDefaults();
    defaults.registerDefaults({{"hasCompletedOnboarding", false}});
    EXPECT_EQ(defaults.boolValue("hasCompletedOnboarding"), false);
    defaults.set("hasCompletedOnboarding", true);
    EXPECT_EQ(defaults.boolValue("hasCompletedOnboarding"), true);
    defaults.removeObject("hasCompletedOnboarding");
    EXPECT_EQ(defaults.boolValue("hasCompletedOnboarding"), false);
}

TEST_F(UserDefaultsTest, DictionaryRepresentationHoldsStoredOverRegisteredValues) {
    auto& defaults = platform().userDefaults();
    defaults.registerDefaults({{"a", 1}, {"b", false}});
    defaults.set("b", true);
    defaults.set("c", "text");
    EXPECT_EQ(defaults.dictionaryRepresentation(),
              (DefaultsValue::Dictionary{{"a", 1}, {"b", true}, {"c", "text"}}));
    defaults.removeObject("b");
    EXPECT_EQ(defaults.dictionaryRepresentation().at("b"), DefaultsValue(false));
}

TEST_F(UserDefaultsTest, ObserversHearRealChangesOfTheirKeyOnly) {
    auto& defaults = platform().userDefaults();
    int changes = 0;
    auto token = defaults.observe("launchAtLogin", [&] { ++changes; });
    defaults.set("launchAtLogin", true);
    defaults.set("launchAtLogin", true);
    defaults.set("other", true);
    defaults.removeObject("launchAtLogin");
    defaults.removeObject("launchAtLogin");
    EXPECT_EQ(changes, 2);
}

class UserDefaultsFileTest : public PlatformTest {
  protected:
    UserDefaultsFileTest() {
        char pattern[] = "/tmp/talvori-defaults-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        path_ = folder_ + "/talvori/defaults.json";
    }
    ~UserDefaultsFileTest() override { fs::remove_all(folder_); }

    std::shared_ptr<UserDefaults> open() const {
        return UserDefaults::fileBacked(path_, platform().sharedRunLoop(),
                                        platform().logger("Settings"));
    }
    std::vector<fs::path> setAside() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(fs::path(path_).parent_path())) {
            if (entry.path().filename().string().find(".corrupt-") != std::string::npos) {
                found.push_back(entry.path());
            }
        }
        return found;
    }
    void writeRaw(const std::string& contents, const std::string& path = {}) const {
        fs::create_directories(fs::path(path_).parent_path());
        std::ofstream(path.empty() ? path_ : path) << contents;
    }
    std::string readRaw(const std::string& path) const {
        std::ifstream file(path);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    // What another thread does shows within a few seconds.
    static bool eventually(const std::function<bool()>& condition) {
        for (int wait = 0; wait < 500 && !condition(); ++wait) ::usleep(10'000);
        return condition();
    }

    std::string folder_;
    std::string path_;
};

TEST_F(UserDefaultsFileTest, ChangesReachTheFileAMomentLaterAndSurviveAReopen) {
    auto defaults = open();
    defaults->set("tarnel.presets", Data{'[', ']'});
    defaults->set("spotlight.settings", Data{'{', '}'});
    EXPECT_FALSE(fs::exists(path_));
    advance(UserDefaults::kFlushDelay);
    ASSERT_TRUE(eventually([&] { return fs::exists(path_); }));
    defaults->removeObject("spotlight.settings");
    defaults.reset();  // flushes what is pending

    auto reopened = open();
    EXPECT_EQ(reopened->data("tarnel.presets"), (Data{'[', ']'}));
    EXPECT_EQ(reopened->data("spotlight.settings"), std::nullopt);
}

TEST_F(UserDefaultsFileTest, ADamagedFileIsKeptAsideAndItsLastGoodCopyReadInstead) {
    {
        auto defaults = open();
        defaults->set("hasCompletedOnboarding", true);
        defaults->set("spotlight.settings", Data{'{', '}'});
        defaults->set("tarnel.presets", Data(2000, '['));
        ASSERT_TRUE(defaults->synchronize());
    }
    const std::string good = readRaw(path_);
    ASSERT_EQ(readRaw(path_ + ".bak"), good);
    std::vector<std::string> damaged{"", "garbage", "\x00\x01{"};
    for (const std::size_t cut : {good.size() / 5, good.size() / 2, good.size() - 3}) {
        damaged.push_back(good.substr(0, cut));
    }
    for (std::size_t round = 0; round < damaged.size(); ++round) {
        writeRaw(damaged[round]);
        auto defaults = open();
        EXPECT_EQ(defaults->boolValue("hasCompletedOnboarding"), true) << round;
        EXPECT_EQ(defaults->data("spotlight.settings"), (Data{'{', '}'})) << round;
        EXPECT_EQ(defaults->data("tarnel.presets"), Data(2000, '[')) << round;
        // The damaged file is kept aside, and the good copy is the file again.
        EXPECT_EQ(setAside().size(), round + 1);
        EXPECT_EQ(readRaw(path_), good) << round;
    }
    EXPECT_FALSE(logs().records().empty());
}

TEST_F(UserDefaultsFileTest, WithItsCopyDamagedTooTheMembersReadWholeBeforeTheDamageAreKept) {
    writeRaw("{\"a\": {\"data\": \"W10=\"}, \"b\": [1, {\"c\": 2}], \"d\": \"text\", \"e\": 12");
    writeRaw("{\"a\": 0, \"f\": true, \"g\": {\"array\": [1, 2", path_ + ".bak");
    auto defaults = open();
    EXPECT_EQ(defaults->data("a"), (Data{'[', ']'})) << "the file's over its copy's";
    EXPECT_EQ(defaults->array("b"), std::nullopt) << "a hand-made array does not decode";
    EXPECT_EQ(defaults->string("d"), "text");
    EXPECT_EQ(defaults->integer("e"), std::nullopt) << "a number at the cut may be cut short";
    EXPECT_EQ(defaults->boolValue("f"), true);
    EXPECT_EQ(defaults->object("g"), std::nullopt);
    EXPECT_EQ(setAside().size(), 2u);

    defaults->set("hasCompletedOnboarding", true);
    EXPECT_TRUE(defaults->synchronize());
    auto reopened = open();
    EXPECT_EQ(reopened->string("d"), "text");
    EXPECT_EQ(reopened->boolValue("hasCompletedOnboarding"), true);
    EXPECT_EQ(setAside().size(), 2u);
}

TEST_F(UserDefaultsFileTest, AFileNestedBeyondReasonIsKeptAsideNotFollowedDown) {
    // Well-formed JSON, but nested far deeper than any setting: reading it must not exhaust the
    // stack.
    std::string deep = "{\"tarnel.presets\": ";
    constexpr int kDepth = 200'000;
    for (int level = 0; level < kDepth; ++level) deep += "{\"array\": [";
    for (int level = 0; level < kDepth; ++level) deep += "]}";
    deep += "}";
    writeRaw(deep);
    auto defaults = open();
    EXPECT_EQ(defaults->array("tarnel.presets"), std::nullopt);
    EXPECT_EQ(setAside().size(), 1u);
}

// One value this version cannot read costs no other setting, and survives this version's writes
// for the version that wrote it.
TEST_F(UserDefaultsFileTest, AValueThatDoesNotDecodeIsLeftOutAndKeptInTheFile) {
    const std::vector<std::pair<std::string, std::string>> undecodable{
        {"null", "null"},
        {"beyond 64 bits", "9223372036854775808"},
        {"a newer version's tag", "{\"set\": [1, 2]}"},
        {"a hand edit", "{\"dictionary\": 5}"},
    };
    for (const auto& [why, bad] : undecodable) {
        writeRaw("{\"tarnel.presets\": {\"data\": \"W10=\"}, \"future\": " + bad + "}");
        auto defaults = open();
        EXPECT_EQ(defaults->data("tarnel.presets"), (Data{'[', ']'})) << why;
        EXPECT_EQ(defaults->object("future"), std::nullopt) << why;
        EXPECT_TRUE(setAside().empty()) << why;
        const auto messages = logs().messages();
        EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const std::string& message) {
            return message.find("\"future\" cannot be read") != std::string::npos;
        })) << why;

        defaults->set("hasCompletedOnboarding", true);
        ASSERT_TRUE(defaults->synchronize()) << why;
        std::ifstream file(path_);
        const auto written = Json::parse(std::string(std::istreambuf_iterator<char>(file), {}));
        ASSERT_TRUE(written) << why;
        EXPECT_EQ((*written)["future"], *Json::parse(bad)) << why;
        EXPECT_EQ((*written)["hasCompletedOnboarding"], true) << why;

        // What this version writes under the key replaces what it could not read.
        defaults->set("future", 3);
        ASSERT_TRUE(defaults->synchronize()) << why;
        EXPECT_EQ(open()->integer("future"), 3) << why;
    }
}

TEST_F(UserDefaultsFileTest, AFileSpoiledAfterLoadingLosesNoKeyThisProcessHolds) {
    auto defaults = open();
    defaults->set("tarnel.presets", Data{'[', ']'});
    defaults->set("hasCompletedOnboarding", true);
    ASSERT_TRUE(defaults->synchronize());
    writeRaw("garbage");
    defaults->set("launchAtLogin", false);
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(setAside().size(), 1u);

    auto reopened = open();
    EXPECT_EQ(reopened->data("tarnel.presets"), (Data{'[', ']'}));
    EXPECT_EQ(reopened->boolValue("hasCompletedOnboarding"), true);
    EXPECT_EQ(reopened->boolValue("launchAtLogin"), false);
}

// What may stand at the path instead of a file; each is left as it is.
struct NotAFile {
    const char* name;
    std::function<void(const std::string& path)> make;
    std::function<bool(const std::string& path)> stands;
};

class UserDefaultsNotAFileTest : public UserDefaultsFileTest,
                                 public ::testing::WithParamInterface<NotAFile> {};

// Nothing here may wait (a FIFO would in its open) or read without end (a device).
TEST_P(UserDefaultsNotAFileTest, IsRefusedOnceAndTheSettingsAreWrittenOnceAFileIsThere) {
    {
        auto defaults = open();
        defaults->set("a", 1);
        ASSERT_TRUE(defaults->synchronize());
    }
    fs::remove(path_);
    GetParam().make(path_);
    auto defaults = open();
    EXPECT_EQ(defaults->integer("a"), 1) << "its last good copy";
    defaults->set("b", 2);
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_TRUE(GetParam().stands(path_));
    EXPECT_TRUE(setAside().empty());
    const auto messages = logs().messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& message) {
                                return message.find("not a regular file") != std::string::npos;
                            }),
              1);

    fs::remove_all(path_);
    advance(UserDefaults::kRetryDelay);
    ASSERT_TRUE(eventually([&] { return fs::is_regular_file(path_); }));
    defaults.reset();
    auto reopened = open();
    EXPECT_EQ(reopened->integer("a"), 1);
    EXPECT_EQ(reopened->integer("b"), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UserDefaultsNotAFileTest,
    ::testing::Values(
        NotAFile{"Fifo", [](const std::string& path) { ::mkfifo(path.c_str(), 0600); },
                 [](const std::string& path) { return fs::is_fifo(path); }},
        NotAFile{"LinkToADevice",
                 [](const std::string& path) { fs::create_symlink("/dev/zero", path); },
                 [](const std::string& path) { return fs::is_symlink(path); }},
        NotAFile{"Folder",
                 [](const std::string& path) {
                     fs::create_directory(path);
                     std::ofstream(path + "/kept") << "x";
                 },
                 [](const std::string& path) { return fs::exists(path + "/kept"); }},
        NotAFile{"Socket",
                 [](const std::string& path) {
                     sockaddr_un address{};
                     address.sun_family = AF_UNIX;
                     path.copy(address.sun_path, sizeof address.sun_path - 1);
                     const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                     ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
                     ::close(fd);
                 },
                 [](const std::string& path) { return fs::is_socket(path); }},
        NotAFile{"LoopOfLinks", [](const std::string& path) { fs::create_symlink(path, path); },
                 [](const std::string& path) { return fs::is_symlink(path); }}),
    [](const ::testing::TestParamInfo<NotAFile>& info) { return info.param.name; });

TEST_F(UserDefaultsFileTest, AFileLargerThanTheBoundIsNeitherReadNorWritten) {
    const std::string large(DefaultsFile::kMaximumSize, 'x');
    writeRaw("{\"a\": \"" + large + "\"}");
    auto defaults = open();
    EXPECT_EQ(defaults->string("a"), std::nullopt);
    ASSERT_EQ(setAside().size(), 1u) << "kept aside, unread";
    EXPECT_GT(fs::file_size(setAside()[0]), DefaultsFile::kMaximumSize);

    defaults->set("b", true);
    defaults->set("large", large);
    EXPECT_FALSE(defaults->synchronize()) << "it would not be read back";
    defaults->removeObject("large");
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_EQ(open()->boolValue("b"), true);
}

TEST_F(UserDefaultsFileTest, AFailedWriteKeepsTheChangesAndTheOldFileAndIsSaidOnce) {
    auto defaults = open();
    defaults->set("a", 1);
    ASSERT_TRUE(defaults->synchronize());
    fs::remove(path_);
    const std::string blocker = path_ + ".tmp-" + std::to_string(::getpid());
    fs::create_directories(fs::path(blocker) / "blocker");
    defaults->set("a", 2);
    EXPECT_FALSE(defaults->synchronize());
    // Tried again every few seconds, said once.
    const auto finishedWrites = [&](std::size_t count) {
        return eventually([&] {
            advance(0);
            return defaults->finishedWriteCount() == count;
        });
    };
    ASSERT_TRUE(finishedWrites(2));
    for (std::size_t retry = 1; retry <= 4; ++retry) {
        advance(UserDefaults::kRetryDelay);
        ASSERT_TRUE(finishedWrites(2 + retry)) << retry;
    }
    const auto said = [&](const std::string& start) {
        const auto messages = logs().messages();
        return std::count_if(messages.begin(), messages.end(), [&](const std::string& message) {
            return message.starts_with(start);
        });
    };
    EXPECT_EQ(said("Cannot write settings"), 1);
    fs::remove_all(blocker);
    advance(UserDefaults::kRetryDelay);
    ASSERT_TRUE(eventually([&] { return fs::exists(path_); }));
    EXPECT_TRUE(eventually([&] {
        advance(0);
        return said("Settings written again") == 1;
    }));
    EXPECT_EQ(open()->integer("a"), 2);
}

// Holds the store's file lock as a second process would, so that a write waits for it.
class HeldLock {
  public:
    explicit HeldLock(const std::string& path)
        : fd_(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        ::flock(fd_, LOCK_EX);
    }
    ~HeldLock() { release(); }
    void release() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
};

TEST_F(UserDefaultsFileTest, TheMainThreadNeverWaitsForAWriteAndTheNewestStateIsWritten) {
    auto defaults = open();
    defaults->set("a", 0);
    ASSERT_TRUE(defaults->synchronize());
    HeldLock lock(path_);
    // One write waits for the lock; the changes after it wait together for the next.
    for (int value = 1; value <= 3; ++value) {
        defaults->set("a", value);
        advance(UserDefaults::kFlushDelay);
    }
    defaults->set("b", true);
    EXPECT_EQ((*Json::parse(readRaw(path_)))["a"], 0);
    std::thread releaser([&] {
        ::usleep(100'000);
        lock.release();
    });
    // For a program about to end: the write in flight, then the newest state.
    EXPECT_TRUE(defaults->synchronize());
    releaser.join();
    auto reopened = open();
    EXPECT_EQ(reopened->integer("a"), 3);
    EXPECT_EQ(reopened->boolValue("b"), true);
}

// Writes large values as fast as it can until killed.
[[noreturn]] void writeForever(const std::string& path, const std::string& key) {
    auto loop = RunLoop::create(std::make_shared<RealClock>());
    auto defaults = UserDefaults::fileBacked(path, loop, Logger());
    for (int i = 0;; ++i) {
        defaults->set(key, std::string(20000 + i % 1000, static_cast<char>('a' + i % 26)));
        defaults->set(key + ".count", i);
        defaults->synchronize();
    }
}

TEST_F(UserDefaultsFileTest, AProcessKilledWhileWritingNeverLeavesABrokenFile) {
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) writeForever(path_, "key");
        ::usleep(static_cast<useconds_t>(2000 + round * 1500));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        if (!fs::exists(path_)) continue;
        // The last good copy is written the same way: whole too.
        if (fs::exists(path_ + ".bak")) {
            EXPECT_TRUE(Json::parse(readRaw(path_ + ".bak"))) << "round " << round;
        }
        auto defaults = open();
        EXPECT_TRUE(setAside().empty()) << "round " << round;
        EXPECT_TRUE(defaults->string("key")) << "round " << round;
        for (const auto& entry : fs::directory_iterator(fs::path(path_).parent_path())) {
            EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
        }
    }
}

// A process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) std::_Exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A write killed between its temporary copy and the rename leaves the copy; the next start
// removes such copies of the file and of its backup, and nothing else in the folder: not the copy
// of a process still running, which may be writing it.
TEST_F(UserDefaultsFileTest, CopiesLeftByAKilledWriteAreRemovedAtTheNextStartAndNothingElse) {
    const fs::path folder = fs::path(path_).parent_path();
    const std::string ended = std::to_string(endedProcess());
    const std::vector<std::string> left{"defaults.json.tmp-" + ended,
                                        "defaults.json.bak.tmp-" + ended};
    const std::vector<std::string> others{"defaults.json.tmp-",
                                          "defaults.json.tmp-12a",
                                          "notes.json.tmp-5",
                                          "defaults.json.tmp-" + ended + ".old",
                                          "xdefaults.json.tmp-3",
                                          "defaults.json.corrupt-20260101T000000Z",
                                          "defaults.json.tmp-" + std::to_string(::getppid())};
    writeRaw("{\"a\": 1}");
    for (const auto& name : left) writeRaw("{\"half", (folder / name).string());
    for (const auto& name : others) writeRaw("mine", (folder / name).string());
    fs::create_directory(folder / "defaults.json.tmp-9");

    EXPECT_EQ(open()->integer("a"), 1);
    for (const auto& name : left) EXPECT_FALSE(fs::exists(folder / name)) << name;
    for (const auto& name : others) EXPECT_EQ(readRaw((folder / name).string()), "mine") << name;
    EXPECT_TRUE(fs::is_directory(folder / "defaults.json.tmp-9"));
}

TEST_F(UserDefaultsFileTest, TwoProcessesWritingTogetherKeepEachOthersKeys) {
    auto writeSome = [&](const std::string& key) {
        auto loop = RunLoop::create(std::make_shared<RealClock>());
        auto defaults = UserDefaults::fileBacked(path_, loop, Logger());
        for (int i = 1; i <= 150; ++i) {
            defaults->set(key, i);
            defaults->synchronize();
        }
        std::_Exit(0);
    };
    const pid_t first = ::fork();
    if (first == 0) writeSome("first");
    const pid_t second = ::fork();
    if (second == 0) writeSome("second");
    int status = 0;
    ::waitpid(first, &status, 0);
    EXPECT_EQ(status, 0);
    ::waitpid(second, &status, 0);
    EXPECT_EQ(status, 0);
    auto defaults = open();
    EXPECT_EQ(defaults->integer("first"), 150);
    EXPECT_EQ(defaults->integer("second"), 150);
    EXPECT_TRUE(setAside().empty());
}

// Two stores on one file, as two instances on one config folder are, on a loop that watches
// descriptors (a virtual one never polls them).
class UserDefaultsOtherWritersTest : public UserDefaultsFileTest {
  protected:
    std::shared_ptr<UserDefaults> openOnLoop() const {
        return UserDefaults::fileBacked(path_, loop_, Logger());
    }
    // Turns the loop until `condition` holds, for a few seconds at most.
    bool turnUntil(const std::function<bool()>& condition) const {
        for (int turn = 0; turn < 500 && !condition(); ++turn) loop_->runOnce(0.01);
        return condition();
    }

    std::shared_ptr<RunLoop> loop_ = RunLoop::create(std::make_shared<RealClock>());
};

TEST_F(UserDefaultsOtherWritersTest, ChangesOnDiskReachReadersAndTheLaterWriteWins) {
    auto first = openOnLoop();
    auto second = openOnLoop();
    int heard = 0;
    auto token = second->observe("x", [&] { ++heard; });
    first->set("x", 1);
    first->set("y", 1);
    ASSERT_TRUE(first->synchronize());
    ASSERT_TRUE(turnUntil([&] { return second->integer("x") == 1; }));
    EXPECT_EQ(heard, 1);

    // A hand edit while the second has a change of its own waiting: the edit is taken where the
    // second changed nothing, and the second's later write wins where it did.
    second->set("y", 5);
    writeRaw("{\"x\": 2, \"y\": 7, \"z\": 3}");
    ASSERT_TRUE(turnUntil([&] { return second->integer("z") == 3 && first->integer("z") == 3; }));
    EXPECT_EQ(second->integer("x"), 2);
    EXPECT_EQ(second->integer("y"), 5);
    EXPECT_EQ(first->integer("y"), 7);
    ASSERT_TRUE(second->synchronize());
    EXPECT_TRUE(turnUntil([&] { return first->integer("y") == 5; }));

    // A file saved half-way changes nothing here, and is not taken for damage.
    writeRaw("{\"x\": 9, \"y");
    for (int turn = 0; turn < 10; ++turn) loop_->runOnce(0.02);
    EXPECT_EQ(second->integer("x"), 2);
    EXPECT_TRUE(setAside().empty());
    first->set("w", true);
    ASSERT_TRUE(first->synchronize());
    EXPECT_TRUE(turnUntil([&] { return second->boolValue("w") == true; }));
    EXPECT_EQ(open()->integer("y"), 5);
    EXPECT_EQ(heard, 2);
}

// As dotfile managers keep it: the file is a link to their copy in another folder.
TEST_F(UserDefaultsOtherWritersTest, ALinkedFileStaysALinkAndEditsOfItsTargetAreHeard) {
    const std::string target = folder_ + "/dotfiles/talvori/defaults.json";
    fs::create_directories(fs::path(target).parent_path());
    fs::create_directories(fs::path(path_).parent_path());
    std::ofstream(target) << "{\"a\": 1}";
    fs::create_symlink("../dotfiles/talvori/defaults.json", path_);
    auto defaults = openOnLoop();
    EXPECT_EQ(defaults->integer("a"), 1);
    defaults->set("b", 2);
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ((*Json::parse(readRaw(target)))["b"], 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(target).parent_path()), {}), 1)
        << "no copy left beside it";

    writeRaw("{\"a\": 5, \"b\": 2}", target);
    EXPECT_TRUE(turnUntil([&] { return defaults->integer("a") == 5; }));
}

TEST_F(UserDefaultsOtherWritersTest, AConfigFolderMadeAgainIsWatchedAgain) {
    auto defaults = openOnLoop();
    for (int round = 1; round <= 2; ++round) {
        fs::remove_all(fs::path(path_).parent_path());
        for (int turn = 0; turn < 5; ++turn) loop_->runOnce(0.01);
        writeRaw("{\"x\": " + std::to_string(round) + "}");
        EXPECT_TRUE(turnUntil([&] { return defaults->integer("x") == round; })) << round;
    }
}

TEST_F(UserDefaultsOtherWritersTest, AnotherWritersSavesAreLoggedALineASecondAtMostAndCounted) {
    auto defaults = UserDefaults::fileBacked(path_, loop_, platform().logger("Settings"));
    constexpr int kSaves = 60;
    for (int save = 1; save <= kSaves; ++save) {
        writeRaw("{\"n\": " + std::to_string(save) + "}");
        ASSERT_TRUE(turnUntil([&] { return defaults->integer("n") == save; })) << save;
    }
    defaults.reset();
    const auto messages = logs().messages();
    EXPECT_LE(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& message) {
                                return message.find("another writer") != std::string::npos &&
                                       message.find("repeated") == std::string::npos;
                            }),
              UserDefaults::kOtherWriterLines);
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "Settings: \"n\" was changed in the file by another writer; its value is "
                        "taken … repeated " +
                            std::to_string(kSaves - UserDefaults::kOtherWriterLines) + " times"),
              messages.end());
}

TEST(UserDefaultsPathTest, FollowsTheXdgConfigFolder) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(UserDefaults::standardPath(), "/tmp/cfg/talvori/defaults.json");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_NE(UserDefaults::standardPath().find("/.config/talvori/defaults.json"),
              std::string::npos);
    if (saved) {
        ::setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace talvori
