#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/core/CaptureLogSink.hpp"
#include "platform/core/LogRouter.hpp"
#include "platform/freedesktop/AutostartEntry.hpp"
#include "platform/x11/harness/X11TestSession.hpp"

namespace talvori::freedesktop {
namespace {

namespace fs = std::filesystem;

// A configuration folder of the test's own, and a program in a folder whose name the entry must
// quote and escape.
class AutostartEntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("talvori-login-" + std::to_string(::getpid()));
        fs::remove_all(root);
        program = root / "Apps $HOME 100%" / "tal\"vori";
        fs::create_directories(program.parent_path());
        fs::copy_file("/bin/true", program);
        if (const char* before = std::getenv("XDG_CONFIG_HOME")) previous = before;
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        router->addSink(capture);
    }
    void TearDown() override {
        if (previous.empty()) {
            ::unsetenv("XDG_CONFIG_HOME");
        } else {
            ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
        }
        fs::remove_all(root);
    }
    std::string entryText() const {
        std::ifstream file(AutostartEntry::entryPath());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    Logger log() const { return Logger(router, "test", "LoginItem"); }

    fs::path root;
    fs::path program;
    std::string previous;
    std::shared_ptr<LogRouter> router = std::make_shared<LogRouter>();
    std::shared_ptr<CaptureLogSink> capture = std::make_shared<CaptureLogSink>();
};

TEST_F(AutostartEntryTest, WritesAValidAutostartEntryForItsProgramReadsItBackAndRemovesIt) {
    AutostartEntry item(program, log());
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    EXPECT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(AutostartEntry::entryPath(),
              root / "config" / "autostart" / "org.talvori.Talvori.desktop");
    EXPECT_EQ(item.status(), LoginItem::Status::enabled);
    const std::string text = entryText();
    EXPECT_NE(text.find("\nExec=\""), std::string::npos) << text;
    EXPECT_NE(text.find("X-GNOME-Autostart-enabled=true\n"), std::string::npos);

    ASSERT_TRUE(testing::hasProgram("desktop-file-validate"))
        << "desktop-file-validate is missing: run scripts/setup";
    const std::string command =
        "desktop-file-validate '" + AutostartEntry::entryPath().string() + "' >&2";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // The desktop's own ways of switching it off, and a program that went away.
    std::ofstream(AutostartEntry::entryPath(), std::ios::app) << "Hidden=true\n";
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    EXPECT_EQ(item.registerItem(), std::nullopt);
    fs::remove(program);
    EXPECT_EQ(item.status(), LoginItem::Status::notFound);

    EXPECT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_FALSE(fs::exists(AutostartEntry::entryPath()));
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    EXPECT_EQ(item.unregisterItem(), std::nullopt);
}

TEST_F(AutostartEntryTest, AProgramInItsBuildTreeRegistersItselfAndSaysSo) {
    std::ofstream(program.parent_path().parent_path() / "CMakeCache.txt") << "\n";
    AutostartEntry item(program, log());
    EXPECT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(item.status(), LoginItem::Status::enabled);
    EXPECT_TRUE(
        capture->contains("Talvori runs from its build tree: at login the session will "
                          "start " +
                          program.string()));

    // A folder it cannot make is an error the user reads, not a crash.
    fs::remove_all(AutostartEntry::entryPath().parent_path());
    std::ofstream(AutostartEntry::entryPath().parent_path()) << "in the way\n";
    const auto error = item.registerItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("Cannot make the folder"), std::string::npos) << *error;
}

// An entry's lines cannot hold a control character and its text must be UTF-8: such a path
// would make a broken entry that reads back as a program that is not found.
TEST_F(AutostartEntryTest, AProgramPathNoEntryCanHoldIsRefusedWithAClearError) {
    for (const std::string name : {"new\nline", "tab\there", "bell\x07", "latin-1 \xe9t\xe9"}) {
        AutostartEntry item(root / name / "talvori", log());
        const auto error = item.registerItem();
        ASSERT_TRUE(error.has_value()) << name;
        EXPECT_NE(error->find("cannot start at login"), std::string::npos) << *error;
        EXPECT_FALSE(fs::exists(AutostartEntry::entryPath())) << name;
        EXPECT_EQ(item.status(), LoginItem::Status::notRegistered) << name;
    }
}

}  // namespace
}  // namespace talvori::freedesktop
