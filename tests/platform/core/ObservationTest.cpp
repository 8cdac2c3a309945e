#include <gtest/gtest.h>

#include "platform/core/Observation.hpp"

namespace talvori {
namespace {

struct Model {
    Observable<bool> isLocked{false};
    Observable<std::string> name{"Overlay 1"};
    Observable<double> opacity{1.0};
};

TEST(ObservationTest, NotifiesOnlyOnARealChange) {
    Model model;
    int changes = 0;
    auto token = model.isLocked.observe([&] { ++changes; });
    EXPECT_FALSE(model.isLocked.set(false));
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(model.isLocked.set(true));
    EXPECT_EQ(changes, 1);
    model.name.setAndNotify("Overlay 1");  // unaffected property
    model.isLocked.setAndNotify(true);
    EXPECT_EQ(changes, 2);
}

TEST(ObservationTest, ObserversAreHeldByTheirTokens) {
    Model model;
    int changes = 0;
    {
        auto token = model.opacity.observe([&] { ++changes; });
        model.opacity.set(0.5);
    }
    model.opacity.set(0.25);
    EXPECT_EQ(changes, 1);
}

TEST(ObservationTest, TrackingLearnsWhatABodyReadAndFiresOnce) {
    Model model;
    int changes = 0;
    auto token = ObservationTracking::track(
        [&] {
            (void)model.name();
            (void)model.opacity();
        },
        [&] { ++changes; });
    model.isLocked.set(true);
    EXPECT_EQ(changes, 0) << "not read by the body";
    model.opacity.set(0.5);
    model.name.set("Renamed");
    EXPECT_EQ(changes, 1);
}

TEST(ObservationTest, PeekingIsNotTrackedAndACancelledTrackingIsSilent) {
    Model model;
    int changes = 0;
    auto token = ObservationTracking::track([&] { (void)model.name.peek(); }, [&] { ++changes; });
    model.name.set("x");
    EXPECT_EQ(changes, 0);

    auto second = ObservationTracking::track([&] { (void)model.name(); }, [&] { ++changes; });
    second.reset();
    model.name.set("y");
    EXPECT_EQ(changes, 0);
}

TEST(ObservationTest, ASubjectDestroyedByItsObserverIsSafe) {
    auto model = std::make_unique<Model>();
    Registration token = model->name.observe([&] { model.reset(); });
    model->name.set("gone");
    EXPECT_EQ(model, nullptr);
}

TEST(ObservationTest, ModifyChangesInPlace) {
    Observable<std::vector<int>> list;
    int changes = 0;
    auto token = list.observe([&] { ++changes; });
    list.modify([](auto& items) { items.push_back(1); });
    list.modify([](auto&) {});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list.peek(), (std::vector<int>{1}));
}

}  // namespace
}  // namespace talvori
