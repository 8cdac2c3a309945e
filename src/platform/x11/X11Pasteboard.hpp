#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Logger.hpp"
#include "platform/core/Time.hpp"
#include "platform/core/TimerSlot.hpp"
#include "platform/desktop/Pasteboard.hpp"

struct xcb_xfixes_selection_notify_event_t;

namespace talvori {
class BeforeWaitHook;
class FileWatch;
class RunLoop;
}  // namespace talvori

namespace talvori::x11 {

class X11EventRouter;

// The CLIPBOARD selection for plain text, and PRIMARY (the text selected last) as the selection, as
// owner and as requester. It talks over a connection of its own: reading another program's text
// means waiting for that program's answer, and waiting on the main connection would take the
// desktop's events out of order. That answer comes on a later turn, while the loop goes on. Text
// we copy lives here until another program takes the selection, or, on quitting, the clipboard
// manager takes a copy of it.
class X11Pasteboard final : public Pasteboard, public std::enable_shared_from_this<X11Pasteboard> {
  public:
    // Null when the server at `display` (null: $DISPLAY) is unreachable.
    static std::shared_ptr<X11Pasteboard> open(const char* display, std::shared_ptr<RunLoop> loop,
                                               Logger log);
    ~X11Pasteboard() override;
    X11Pasteboard(const X11Pasteboard&) = delete;
    X11Pasteboard& operator=(const X11Pasteboard&) = delete;

    // Reads of another program's text go one after the other, each given up when the whole of it
    // has not come within two seconds.
    void readString(std::size_t limit, TextReceiver receive) override;
    bool setString(const std::string& text) override;
    void clearContents() override;
    int changeCount() const override { return changeCount_; }
    void readSelectionString(std::size_t limit, TextReceiver receive) override;
    void setSelectionString(const std::string& text) override;

    // Hands what we copied to the session's clipboard manager, if one runs, so that it can still
    // be pasted once we are gone; waits for the manager a short while at most.
    void handOverToClipboardManager();

  private:
    enum Name : std::size_t {
        kClipboard,
        kPrimary,
        kClipboardManager,
        kSaveTargets,
        kMultiple,
        kAtomPair,
        kSaveProperty,
        kUtf8String,
        kText,
        kMimeText,
        kTargets,
        kTimestamp,
        kIncr,
        kPasteProperty,
        kTimeProperty,
        kNameCount
    };

    // What we offer on one selection while we own it.
    struct Held {
        std::optional<std::string> contents;
        bool owning = false;
        xcb_timestamp_t since = XCB_CURRENT_TIME;
    };

    // A read asked for and not yet begun.
    struct Read {
        Name selection;
        std::size_t limit;
        TextReceiver receive;
    };
    // The read under way.
    struct Transfer;
    // A request for several targets at once, answered a slice at a time.
    struct MultipleAnswer {
        xcb_selection_request_event_t request;
        std::vector<xcb_atom_t> pairs;
        std::size_t next = 0;
    };

    X11Pasteboard(xcb_connection_t* connection, std::shared_ptr<RunLoop> loop, Logger log);
    void setUp();
    Held* held(xcb_atom_t selection) const;
    bool own(Name selection, std::optional<std::string> contents);
    void read(Name selection, std::size_t limit, TextReceiver receive);
    void startNextRead();
    void requestTarget(xcb_atom_t target);
    void selectionArrived(const xcb_selection_notify_event_t& notify);
    void pieceArrived(const xcb_property_notify_event_t& notify);
    void deliver(Transfer& transfer);
    void finishRead(bool complete);
    void readTimedOut();
    xcb_window_t owner(xcb_atom_t selection) const;
    std::optional<xcb_selection_notify_event_t> answerTo(xcb_atom_t selection, double deadline);
    xcb_timestamp_t serverTime();
    // The next event, waiting no later than `deadline` (the clock's seconds); null once it passes
    // or the connection closes.
    xcb_generic_event_t* nextEvent(double deadline);
    void drain(bool queuedOnly);
    // Another program can ask without limit: what it asks is answered a slice a turn, and the
    // next turn takes up the rest.
    void resumeLater();
    void resume();
    void subscribe();
    // Events read while waiting for an answer, and those the run loop hands over.
    void handleEvent(const xcb_generic_event_t& event);
    void selectionRequested(const xcb_selection_request_event_t& request);
    void selectionCleared(const xcb_selection_clear_event_t& clear);
    void clipboardOwnerChanged(const xcb_xfixes_selection_notify_event_t& notify);
    // Answers the requests waiting, for a slice of time at most; whether some are left.
    bool answerSome();
    void beginAnswer(const xcb_selection_request_event_t& request);
    // Fills the pairs of the request under way until `end`; whether it is done.
    bool continueMultiple(Nanoseconds end);
    void notify(const xcb_selection_request_event_t& request, bool filled) const;
    bool fill(const Held& held, xcb_window_t requestor, xcb_atom_t property,
              xcb_atom_t target) const;
    void countChange() const;

    xcb_connection_t* connection_;
    std::shared_ptr<RunLoop> loop_;
    Logger log_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_atom_t atoms_[kNameCount] = {};
    std::uint8_t xfixesFirstEvent_ = 0;
    bool hasXfixes_ = false;
    std::unique_ptr<X11EventRouter> router_;
    // Nothing on the clipboard after clearContents().
    mutable Held clipboard_;
    mutable Held primary_;
    mutable int changeCount_ = 0;
    mutable bool tooLargeNoted_ = false;
    std::deque<Read> reads_;
    std::unique_ptr<Transfer> transfer_;
    std::deque<xcb_selection_request_event_t> requests_;
    std::optional<MultipleAnswer> multiple_;
    bool answering_ = false;
    TimerSlot resume_;
    std::shared_ptr<FileWatch> watch_;
    std::shared_ptr<BeforeWaitHook> hook_;
};

}  // namespace talvori::x11
