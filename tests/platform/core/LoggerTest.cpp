#include <gtest/gtest.h>

#include "platform/core/JournalLogSink.hpp"
#include "platform/core/RepeatedLogLines.hpp"
#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

TEST(LogFormatTest, PrivacyMarkersPrintAsPlainConversions) {
    EXPECT_EQ(formatLogMessage("%{public}s: committed shade anchor (wid=%{public}u)",
                               {std::string("Spotlight"), std::uint64_t{42}}),
              "Spotlight: committed shade anchor (wid=42)");
    EXPECT_EQ(formatLogMessage("%{private}d%% of %.2f", {std::int64_t{-3}, 0.5}), "-3% of 0.50");
    EXPECT_EQ(formatLogMessage("%c%-3c|", {std::int64_t{'O'}, std::uint64_t{'K'}}), "OK  |");
}

TEST(LogFormatTest, MismatchedOrMissingArgumentsNeverReadGarbage) {
    EXPECT_EQ(formatLogMessage("%s and %d", {std::int64_t{7}, std::string("x")}), "7 and x");
    EXPECT_EQ(formatLogMessage("%s %s", {std::string("one")}), "one <missing>");
    EXPECT_EQ(formatLogMessage("100%", {}), "100%");
    EXPECT_EQ(formatLogMessage("%{public", {std::int64_t{1}}), "");
    EXPECT_EQ(formatLogMessage("%n", {std::int64_t{1}}), "%n");
    EXPECT_EQ(formatLogMessage("%lu %lld", {std::uint64_t{1}, std::int64_t{2}}), "1 2");
    const std::string longText(5000, 'x');
    EXPECT_EQ(formatLogMessage("<%{public}s>", {longText}), "<" + longText + ">");
}

// A format that came from data must not make printf allocate gigabytes.
TEST(LogFormatTest, WidthAndPrecisionAreCappedAtAThousand) {
    const auto one = std::vector<LogArgument>{std::int64_t{1}};
    EXPECT_EQ(formatLogMessage("%999999999d", one), std::string(999, ' ') + "1");
    EXPECT_EQ(formatLogMessage("%0999999999999999999999d", one), std::string(999, '0') + "1");
    EXPECT_EQ(formatLogMessage("%-1001d|", one), "1" + std::string(999, ' ') + "|");
    EXPECT_EQ(formatLogMessage("%.999999999d", one), std::string(999, '0') + "1");
    EXPECT_EQ(formatLogMessage("%1000.2f", {0.5}), std::string(996, ' ') + "0.50");
    EXPECT_EQ(formatLogMessage("%.0004s", {std::string("abcdef")}), "abcd");
    // Out of order, it is no directive: printed as it stands.
    EXPECT_EQ(formatLogMessage("%5-3d", one), "%5-3d");
}

class LoggerTest : public testing::PlatformTest {};

TEST_F(LoggerTest, RecordsReachTheCaptureWithLevelAndCategory) {
    auto log = platform().logger("Spotlight");
    log.log("Active — %{public}s", "Talvori is frontmost, waiting for app switch...");
    log.error("failed: %{public}d", -1);
    const auto records = logs().records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].level, LogLevel::defaultLevel);
    EXPECT_EQ(records[0].category, "Spotlight");
    EXPECT_EQ(records[0].subsystem, Platform::kLogSubsystem);
    EXPECT_TRUE(logs().contains("Active — Talvori is frontmost, waiting for app switch..."));
    EXPECT_EQ(records[1].message, "failed: -1");
}

// A sink for lines at or above a level, counting what reaches it.
class CountingSink final : public LogSink {
  public:
    explicit CountingSink(LogLevel minimum) : minimum_(minimum) {}
    void write(const LogRecord&) override { ++written; }
    LogLevel minimum() const override { return minimum_; }
    int written = 0;

  private:
    LogLevel minimum_;
};

// A line below every sink's level is neither formatted nor written; each sink gets only its own.
TEST(LogRouterTest, LinesNobodyKeepsAreDroppedBeforeFormatting) {
    auto router = std::make_shared<LogRouter>();
    auto errors = std::make_shared<CountingSink>(LogLevel::error);
    auto notices = std::make_shared<CountingSink>(LogLevel::defaultLevel);
    router->addSink(errors);
    router->addSink(notices);
    EXPECT_FALSE(router->keeps(LogLevel::info));
    Logger log(router, "talvori", "Spotlight");
    log.debug("%{public}s", "never formatted");
    log.log("kept by one");
    log.fault("kept by both");
    EXPECT_EQ(errors->written, 1);
    EXPECT_EQ(notices->written, 2);
    EXPECT_FALSE(std::make_shared<LogRouter>()->keeps(LogLevel::fault));
    EXPECT_EQ(JournalLogSink::minimumFromEnvironment(nullptr), LogLevel::info);
    EXPECT_EQ(JournalLogSink::minimumFromEnvironment("Gtk talvori"), LogLevel::debug);
    EXPECT_EQ(JournalLogSink::minimumFromEnvironment("all"), LogLevel::debug);
    EXPECT_EQ(JournalLogSink::minimumFromEnvironment("talvorix"), LogLevel::info);
}

// A flood of one kind of line is logged a few times, then counted; the count is told when a line
// of another kind comes, or once the period has passed.
TEST_F(LoggerTest, RepeatedLinesAreCountedAndTheCountIsToldOnce) {
    RepeatedLogLines lines(platform().logger("X11"));
    lines.attach(&loop());
    for (int times = 0; times < 3; ++times) lines.log(LogLevel::defaultLevel, "gone", "gone");
    for (const char* line : {"up", "down", "up", "down"}) {
        lines.log(LogLevel::defaultLevel, "flap", line, 2);
    }
    advance(RepeatedLogLines::kPeriod);
    lines.log(LogLevel::defaultLevel, "flap", "up", 2);
    EXPECT_EQ(logs().messages(),
              (std::vector<std::string>{"gone", "gone … repeated 2 times", "up", "down",
                                        "down … repeated 2 times", "up"}));
}

}  // namespace
}  // namespace talvori
