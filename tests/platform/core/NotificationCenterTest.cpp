#include <gtest/gtest.h>

#include <thread>

#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

using testing::PlatformTest;

class NotificationCenterTest : public PlatformTest {
  protected:
    NotificationCenter& center() const { return platform().notificationCenter(); }
};

TEST_F(NotificationCenterTest, DeliversByNameAndSenderSynchronouslyOrOnALaterTurn) {
    int sender = 0;
    int other = 0;
    std::vector<std::string> seen;
    auto any = center().addObserver("didMove", nullptr, NotificationDelivery::synchronous,
                                    [&](const Notification&) { seen.push_back("any"); });
    auto mine = center().addObserver("didMove", &sender, NotificationDelivery::synchronous,
                                     [&](const Notification&) { seen.push_back("mine"); });
    auto queued = center().addObserver(
        "didMove", nullptr, NotificationDelivery::mainQueue, [&](const Notification& note) {
            seen.push_back("queued:" + *note.value<std::string>("k"));
        });

    center().post("didMove", &other, {{"k", std::string("v")}});
    EXPECT_EQ(seen, (std::vector<std::string>{"any"}));
    runUntilIdle();
    EXPECT_EQ(seen, (std::vector<std::string>{"any", "queued:v"}));

    seen.clear();
    center().post("didMove", &sender);
    center().post("didResize", &sender);
    EXPECT_EQ(seen, (std::vector<std::string>{"any", "mine"}));
}

TEST_F(NotificationCenterTest, UserInfoOfAnotherTypeReadsAsAbsent) {
    std::optional<bool> flag;
    std::optional<std::string> wrong;
    auto token = center().addObserver("n", nullptr, NotificationDelivery::synchronous,
                                      [&](const Notification& note) {
                                          flag = note.value<bool>("isActive");
                                          wrong = note.value<std::string>("isActive");
                                      });
    center().post("n", nullptr, {{"isActive", true}});
    EXPECT_EQ(flag, true);
    EXPECT_EQ(wrong, std::nullopt);
}

TEST_F(NotificationCenterTest, RemovingTokensInsideACallbackIsSafe) {
    int first = 0;
    int second = 0;
    Registration a;
    Registration b;
    a = center().addObserver("n", nullptr, NotificationDelivery::synchronous,
                             [&](const Notification&) {
                                 ++first;
                                 a.reset();  // its own token
                                 b.reset();  // and one not reached yet
                             });
    b = center().addObserver("n", nullptr, NotificationDelivery::synchronous,
                             [&](const Notification&) { ++second; });
    center().post("n");
    center().post("n");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

TEST_F(NotificationCenterTest, AQueuedDeliveryIsDroppedWhenItsObserverIsRemovedFirst) {
    int count = 0;
    auto token = center().addObserver("n", nullptr, NotificationDelivery::mainQueue,
                                      [&](const Notification&) { ++count; });
    center().post("n");
    token.reset();
    runUntilIdle();
    EXPECT_EQ(count, 0);
}

TEST_F(NotificationCenterTest, ATokenMayOutliveItsCenter) {
    auto token = center().addObserver("n", nullptr, NotificationDelivery::synchronous,
                                      [](const Notification&) {});
    Platform::install(Platform::makeVirtual());
    token.reset();
}

TEST_F(NotificationCenterTest, APostFromAnotherThreadReachesMainQueueObserversOnTheMainThread) {
    std::vector<bool> onMainThread;
    auto queued = center().addObserver(
        "didBeginTracking", nullptr, NotificationDelivery::mainQueue,
        [&](const Notification&) { onMainThread.push_back(loop().isMainThread()); });
    std::thread([this] { center().post("didBeginTracking"); }).join();
    EXPECT_TRUE(onMainThread.empty());
    runUntilIdle();
    EXPECT_EQ(onMainThread, std::vector<bool>{true});
}

}  // namespace
}  // namespace talvori
