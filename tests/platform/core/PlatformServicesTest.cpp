#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

std::vector<std::string> events;

// Made on first use with std::make_shared.
struct Older {
    Older() { events.push_back("make older"); }
    ~Older() {
        // Still reachable: it is older than the service going before it.
        events.push_back("drop older");
    }
};

// Made by its own factory, which asks for the older service first.
class Newer {
  public:
    static std::shared_ptr<Newer> makeShared() {
        platform().service<Older>();
        return std::shared_ptr<Newer>(new Newer());
    }
    ~Newer() {
        events.push_back(std::string("drop newer, older ") +
                         (platform().existingService<Older>() ? "alive" : "gone") + ", newer " +
                         (platform().existingService<Newer>() ? "found" : "not found"));
    }

  private:
    Newer() { events.push_back("make newer"); }
};

class PlatformServicesTest : public testing::PlatformTest {
  protected:
    PlatformServicesTest() { events.clear(); }
};

TEST_F(PlatformServicesTest, ASharedInstanceIsMadeOnceAndGoesWithItsPlatformNewestFirst) {
    EXPECT_EQ(platform().existingService<Newer>(), nullptr);
    const auto& newer = platform().service<Newer>();
    EXPECT_EQ(platform().service<Newer>(), newer);
    EXPECT_EQ(platform().existingService<Newer>(), newer.get());
    EXPECT_NE(platform().existingService<Older>(), nullptr);

    Platform::install(Platform::makeVirtual());
    EXPECT_EQ(events,
              (std::vector<std::string>{"make older", "make newer",
                                        "drop newer, older alive, newer not found", "drop older"}));
    EXPECT_EQ(platform().existingService<Newer>(), nullptr) << "a fresh platform starts afresh";
}

TEST_F(PlatformServicesTest, DestroyingTheServicesStartsThemAfresh) {
    platform().service<Older>();
    platform().destroyServicesForTesting();
    EXPECT_EQ(platform().existingService<Older>(), nullptr);
    platform().service<Older>();
    EXPECT_EQ(events, (std::vector<std::string>{"make older", "drop older", "make older"}));
}

}  // namespace
}  // namespace talvori
