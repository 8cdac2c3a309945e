#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace talvori::testing {

// Another program using the clipboard and the selection, on a connection and thread of its own
// (the program under test waits for its answers): it copies text and pastes what they hold. As
// the session's clipboard manager, it copies what the clipboard's owner hands it when asked.
class ClipboardPeer {
  public:
    // How it sends what it copied: at once, never (a hung program), or in pieces of one byte every
    // half second that never end (a program that trickles).
    enum class Sending { whole, never, trickle };

    explicit ClipboardPeer(const std::string& display);
    ~ClipboardPeer();
    ClipboardPeer(const ClipboardPeer&) = delete;
    ClipboardPeer& operator=(const ClipboardPeer&) = delete;

    void copy(const std::string& text, const char* selection = "CLIPBOARD");
    void setSending(Sending sending) { sending_ = sending; }
    // Asks for the selection's text; pasted() has it once the owner answered.
    void paste(const char* selection = "CLIPBOARD");
    // Takes the clipboard manager's part; one that `answers` nothing lets the owner wait.
    void manageClipboard(bool answers);
    // What the clipboard's owner handed over, as a manager.
    std::string kept() const;
    bool isManagingClipboard() const;
    std::optional<std::string> pasted() const;

  private:
    using Clock = std::chrono::steady_clock;

    xcb_atom_t intern(const char* name);
    void serve();
    void save(const xcb_selection_request_event_t& request);
    void saved(const xcb_selection_notify_event_t& notify);
    std::string property(xcb_atom_t name);
    void trickle(const xcb_selection_request_event_t& request);
    void sendPiece();
    void answer(const xcb_selection_request_event_t& request);
    void receive(const xcb_selection_notify_event_t& notify);

    xcb_connection_t* connection_;
    std::atomic<Sending> sending_ = Sending::whole;
    xcb_selection_request_event_t trickled_{};
    std::optional<Clock::time_point> nextPieceAt_;
    xcb_window_t window_ = 0;
    xcb_atom_t clipboard_ = 0, utf8_ = 0, targets_ = 0, property_ = 0;
    xcb_atom_t manager_ = 0, saveTargets_ = 0, multiple_ = 0, atomPair_ = 0;
    std::atomic<bool> answersSave_ = false;
    xcb_selection_request_event_t saving_{};
    int stop_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::string copied_;
    std::optional<std::string> pasted_;
};

}  // namespace talvori::testing
