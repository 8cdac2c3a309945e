#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <optional>

#include "platform/core/Registration.hpp"
#include "platform/core/Time.hpp"

namespace talvori {
class BeforeWaitHook;
class RunLoop;
}  // namespace talvori

namespace talvori::x11 {

class X11Connection;
class X11FocusWatch;

// A window manager busy with other programs' windows (taking two thousand of them in at once, a
// program that keeps renaming or moving its windows) tells of each change in a burst of its own:
// read as they come, they wake the program a hundred times a second and more, for news nothing
// of ours needs at once. Once such traffic has gone on for a while, and while nothing waits on
// it, the rest of it is read in batches a few times a second. The user's keys and buttons, heard
// meanwhile on the focus watch's connection, end a batch's wait at once, and so does the loop's
// other work; anything else in a batch (an event of one of our windows) ends the pacing.
class X11TrafficPacer {
  public:
    // `isOwnWindow` tells our windows; `wantedAtOnce` whether something follows other programs'
    // windows as they change (Focus, a cover following a window, one of our windows in use).
    X11TrafficPacer(std::shared_ptr<X11Connection> connection,
                    std::shared_ptr<X11FocusWatch> focusWatch, RunLoop& loop,
                    std::function<bool(xcb_window_t)> isOwnWindow,
                    std::function<bool()> wantedAtOnce);
    ~X11TrafficPacer();
    X11TrafficPacer(const X11TrafficPacer&) = delete;
    X11TrafficPacer& operator=(const X11TrafficPacer&) = delete;

    // Each event handed over, as it is.
    void noteEvent(const xcb_generic_event_t& event);
    // Once the events read together are handled, before the reads they ask for go out (their
    // answers then come with the next batch).
    void afterEvents();

    // How often paced traffic is read.
    static constexpr double kBatchInterval = 0.25;
    // How long traffic goes on, or in how many batches, before it is paced: a window opening,
    // moving or closing tells of itself sooner and in fewer, and is followed as it happens. Two
    // thousand windows taken in or closed at once come in hundreds of batches a second.
    static constexpr double kSettling = 0.5;
    static constexpr int kSettlingBatches = 20;
    // Traffic that comes after this long a pause begins anew.
    static constexpr double kPause = kBatchInterval + 0.15;

  private:
    // Whether `event` tells only how other programs' windows stand or what the window manager
    // publishes about them.
    bool isTraffic(const xcb_generic_event_t& event) const;
    void releaseInputUnlessGathering();

    std::shared_ptr<X11Connection> connection_;
    std::shared_ptr<X11FocusWatch> focusWatch_;
    RunLoop& loop_;
    std::function<bool(xcb_window_t)> isOwnWindow_;
    std::function<bool()> wantedAtOnce_;
    // What the batch being read told: traffic, and anything else (a batch of replies alone tells
    // neither).
    bool batchTraffic_ = false;
    bool batchToldMore_ = false;
    std::optional<Nanoseconds> runStart_;
    int runBatches_ = 0;
    Nanoseconds lastTraffic_ = 0;
    // The user's input heard on the second connection while batches are paced.
    Registration input_;
    std::shared_ptr<BeforeWaitHook> hook_;
};

}  // namespace talvori::x11
