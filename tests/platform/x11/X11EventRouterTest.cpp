#include <gtest/gtest.h>

#include <vector>

#include "platform/x11/X11EventRouter.hpp"

namespace talvori::x11 {
namespace {

constexpr xcb_atom_t kName = 39;
constexpr xcb_atom_t kState = 300;

// A service: it notes what reached it, read as the event's own type, and takes what it is told to.
struct Service {
    std::vector<int>& heard;
    int id;
    bool takes = false;

    bool mapped(const xcb_map_notify_event_t& event) {
        heard.push_back(id * 1000 + static_cast<int>(event.window));
        return takes;
    }
    void propertyChanged(const xcb_property_notify_event_t& event) {
        heard.push_back(id * 1000 + static_cast<int>(event.atom));
    }
    bool nameChanged(const xcb_property_notify_event_t& event) {
        propertyChanged(event);
        return takes;
    }
};

// Events come as the server sends them: 32 bytes, whatever their type.
xcb_generic_event_t mapNotify(xcb_window_t window, bool sent = false) {
    xcb_generic_event_t generic{};
    auto& event = reinterpret_cast<xcb_map_notify_event_t&>(generic);
    event.response_type = XCB_MAP_NOTIFY | (sent ? 0x80 : 0);
    event.window = window;
    return generic;
}

xcb_generic_event_t propertyNotify(xcb_atom_t atom) {
    xcb_generic_event_t generic{};
    auto& event = reinterpret_cast<xcb_property_notify_event_t&>(generic);
    event.response_type = XCB_PROPERTY_NOTIFY;
    event.atom = atom;
    return generic;
}

class X11EventRouterTest : public testing::Test {
  protected:
    X11EventRouter router;
    std::vector<int> heard;
    Service first{heard, 1};
    Service second{heard, 2};
    Service third{heard, 3};
};

TEST_F(X11EventRouterTest, AnEventReachesTheServicesOfItsTypeInTheOrderTheySubscribed) {
    router.on<&Service::mapped>(XCB_MAP_NOTIFY, second);
    router.on<&Service::mapped>(XCB_MAP_NOTIFY, first);
    router.on<&Service::mapped>(XCB_UNMAP_NOTIFY, third);
    // One a client sent (SendEvent) counts as its type.
    for (const bool sent : {false, true}) {
        heard.clear();
        EXPECT_FALSE(router.route(mapNotify(7, sent)));
        EXPECT_EQ(heard, (std::vector<int>{2007, 1007}));
    }
}

// Which of three services takes the event (none: -1), and who hears it then.
struct Taking {
    int taker;
    std::vector<int> heard;
};

class X11EventRouterTakingTest : public X11EventRouterTest,
                                 public testing::WithParamInterface<Taking> {};

TEST_P(X11EventRouterTakingTest, ATakenEventGoesNoFurther) {
    Service* services[] = {&first, &second, &third};
    for (Service* service : services) router.on<&Service::mapped>(XCB_MAP_NOTIFY, *service);
    if (GetParam().taker >= 0) services[GetParam().taker]->takes = true;
    EXPECT_EQ(router.route(mapNotify(5)), GetParam().taker >= 0);
    EXPECT_EQ(heard, GetParam().heard);
}

INSTANTIATE_TEST_SUITE_P(, X11EventRouterTakingTest,
                         testing::Values(Taking{-1, {1005, 2005, 3005}}, Taking{0, {1005}},
                                         Taking{1, {1005, 2005}}, Taking{2, {1005, 2005, 3005}}));

TEST_F(X11EventRouterTest, APropertyChangeReachesItsTypesServicesThenOnlyThoseOfItsAtom) {
    router.onProperty<&Service::nameChanged>(kName, second);
    router.onProperty<&Service::propertyChanged>(kState, third);
    router.on<&Service::propertyChanged>(XCB_PROPERTY_NOTIFY, first);
    router.onProperty<&Service::propertyChanged>(kName, third);
    EXPECT_FALSE(router.route(propertyNotify(kName)));
    EXPECT_EQ(heard, (std::vector<int>{1039, 2039, 3039}));

    heard.clear();
    second.takes = true;
    EXPECT_TRUE(router.route(propertyNotify(kName)));
    EXPECT_EQ(heard, (std::vector<int>{1039, 2039}));
}

#ifndef NDEBUG
TEST_F(X11EventRouterTest, DebugBuildsCountTheEventsNoServiceHears) {
    router.on<&Service::mapped>(XCB_MAP_NOTIFY, first);
    router.onProperty<&Service::propertyChanged>(kName, second);
    router.route(mapNotify(1));
    router.route(mapNotify(1, true));
    router.route(propertyNotify(kName));
    router.route(propertyNotify(kState));
    router.route(propertyNotify(kState));
    xcb_generic_event_t expose{};
    expose.response_type = XCB_EXPOSE;
    router.route(expose);

    EXPECT_EQ(router.unheard(XCB_MAP_NOTIFY), 0u);
    EXPECT_EQ(router.unheard(XCB_PROPERTY_NOTIFY), 2u);
    EXPECT_EQ(router.unheard(XCB_EXPOSE), 1u);
    EXPECT_EQ(router.unheard(XCB_EXPOSE | 0x80), 1u);
}
#endif

}  // namespace
}  // namespace talvori::x11
