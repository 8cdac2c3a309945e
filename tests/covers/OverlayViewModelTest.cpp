#include <gtest/gtest.h>

#include "CoverSamples.hpp"
#include "covers/OverlayViewModel.hpp"

namespace talvori {
namespace {

using testing::sampleCover;

// Counts the notifications of one property.
class Counter {
  public:
    template <class T>
    explicit Counter(const Observable<T>& property)
        : token_(property.observe([this] { ++count_; })) {}
    int count() const { return count_; }

  private:
    int count_ = 0;
    Registration token_;
};

// A view showing the record's fields (the control panel beside a moving cover) is not told of
// the frame, which changes at every step of a move.
TEST(OverlayViewModelTest, ReadersOfTheFieldsAreToldOfTheirChangesButNotOfAMove) {
    OverlayViewModel viewModel(sampleCover());
    int told = 0;
    auto read = [&] {
        return ObservationTracking::track([&] { (void)viewModel.opacity(); }, [&] { ++told; });
    };
    auto reading = read();
    viewModel.model.modify([](OverlayModel& model) { model.frame.x += 10; });
    EXPECT_EQ(told, 0);
    viewModel.setOpacity(0.25);
    EXPECT_EQ(told, 1);
    reading = read();
    viewModel.rename(viewModel.name());
    EXPECT_EQ(told, 2) << "a rename to the same text still refreshes";
}

TEST(OverlayViewModelTest, StartsWithTheModelAndQuietInterfaceState) {
    const OverlayModel model = sampleCover();
    const OverlayViewModel viewModel(model);
    EXPECT_EQ(viewModel.model(), model);
    EXPECT_EQ(viewModel.id(), model.id);
    EXPECT_FALSE(viewModel.isLocked() || viewModel.showBorderFlash() || viewModel.isHighlighted() ||
                 viewModel.isHandlesVisible() || viewModel.isResizing() || viewModel.isDragging());
    EXPECT_FALSE(viewModel.hoveredHandle() || viewModel.activeHandle() ||
                 viewModel.originalFrame() || viewModel.liveDimensions());
    EXPECT_TRUE(viewModel.snappedEdges().empty());
}

TEST(OverlayViewModelTest, OnlyARealChangeNotifies) {
    OverlayViewModel viewModel(sampleCover());
    Counter model(viewModel.model), handles(viewModel.isHandlesVisible),
        hovered(viewModel.hoveredHandle), original(viewModel.originalFrame),
        snapped(viewModel.snappedEdges), live(viewModel.liveDimensions);

    viewModel.model.set(viewModel.model.peek());
    EXPECT_EQ(model.count(), 0);
    OverlayModel dimmer = viewModel.model.peek();
    dimmer.opacity = 0.5;
    viewModel.model.set(dimmer);
    EXPECT_EQ(model.count(), 1);

    viewModel.isHandlesVisible.set(true);
    viewModel.isHandlesVisible.set(true);
    EXPECT_EQ(handles.count(), 1);

    viewModel.hoveredHandle.set(std::nullopt);
    EXPECT_EQ(hovered.count(), 0);
    viewModel.hoveredHandle.set(ResizeHandle::left);
    viewModel.hoveredHandle.set(ResizeHandle::left);
    EXPECT_EQ(hovered.count(), 1);

    viewModel.originalFrame.set(Rect(1, 2, 3, 4));
    viewModel.originalFrame.set(Rect(1, 2, 3, 4));
    viewModel.originalFrame.set(Rect(1, 2, 3, 4.0001));
    EXPECT_EQ(original.count(), 2);
    viewModel.liveDimensions.set(Size{50, 20});
    viewModel.liveDimensions.set(Size{50, 20});
    EXPECT_EQ(live.count(), 1);

    viewModel.snappedEdges.set({SnapEdge::top, SnapEdge::left});
    viewModel.snappedEdges.set({SnapEdge::left, SnapEdge::top});
    EXPECT_EQ(snapped.count(), 1);
    EXPECT_EQ(model.count(), 1) << "interface state never touches the record";
}

TEST(OverlayViewModelTest, RenameAlwaysNotifiesAndForwardingSettersOnlyOnChange) {
    OverlayViewModel viewModel(sampleCover("Notes"));
    Counter model(viewModel.model);
    viewModel.rename("Notes");
    EXPECT_EQ(model.count(), 1);
    viewModel.rename("Secrets");
    EXPECT_EQ(model.count(), 2);
    EXPECT_EQ(viewModel.name(), "Secrets");
    EXPECT_EQ(viewModel.model().opacity, 0.8) << "the rest of the record is untouched";

    viewModel.setOpacity(0.8);
    viewModel.setEffectType(EffectType::solid);
    viewModel.setClickThroughEnabled(false);
    EXPECT_EQ(model.count(), 2);
    viewModel.setOpacity(0.4);
    viewModel.setBlurRadius(7);
    viewModel.setEffectType(EffectType::glass);
    viewModel.setClickThroughEnabled(true);
    viewModel.setZOrderMode(ZOrderMode::smart);
    viewModel.setColor({0, 0, 1, 1});
    EXPECT_EQ(model.count(), 8);
    EXPECT_EQ(viewModel.model().blurRadius, 7);
    EXPECT_EQ(viewModel.zOrderMode(), ZOrderMode::smart);
    EXPECT_EQ(viewModel.color(), (CodableColor{0, 0, 1, 1}));
}

TEST(OverlayViewModelTest, AViewHearsOnlyThePropertiesItRead) {
    OverlayViewModel viewModel(sampleCover());
    int redraws = 0;
    auto token = ObservationTracking::track(
        [&] {
            (void)viewModel.isLocked();
            (void)viewModel.name();
        },
        [&] { ++redraws; });
    viewModel.isHighlighted.set(true);
    viewModel.isLocked.set(false);
    EXPECT_EQ(redraws, 0);
    viewModel.rename(viewModel.name());
    EXPECT_EQ(redraws, 1);

    auto second =
        ObservationTracking::track([&] { (void)viewModel.isLocked(); }, [&] { ++redraws; });
    viewModel.isLocked.set(true);
    EXPECT_EQ(redraws, 2);
}

}  // namespace
}  // namespace talvori
