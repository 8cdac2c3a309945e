#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct xcb_xfixes_selection_notify_event_t;

namespace talvori::x11 {

class X11EventRouter;

class X11Connection;

// The desktop's settings as its settings daemon publishes them (XSETTINGS: a binary table on the
// window that owns _XSETTINGS_S<screen>): theme name, animations, font and cursor settings.
// Either read anew on each call, or followed: read once, then again only when the daemon
// rewrites its table or another daemon takes over, so that asking costs nothing.
class X11XSettings : public std::enable_shared_from_this<X11XSettings> {
  public:
    // red, green, blue, alpha
    using Color = std::array<std::uint16_t, 4>;
    using Value = std::variant<std::int32_t, std::string, Color>;
    using Table = std::map<std::string, Value, std::less<>>;

    explicit X11XSettings(std::shared_ptr<X11Connection> connection)
        : connection_(std::move(connection)) {}

    // The current table, read anew; empty when no settings daemon runs.
    Table read() const;
    std::optional<std::int32_t> integer(std::string_view name) const;
    std::optional<std::string> string(std::string_view name) const;

    // The table in `blob`; what follows a malformed entry is left out.
    static Table parse(const std::vector<std::uint8_t>& blob);

    // Starts following the table: `changed` runs after each new one has arrived.
    void follow(std::function<void()> changed);
    // The table as last heard while followed.
    const Table& followed() const { return table_; }
    std::optional<std::int32_t> followedInteger(std::string_view name) const;
    // Its handlers hear of a new owner and of a rewritten table.
    void subscribe(X11EventRouter& router);

  private:
    void selectionOwnerChanged(const xcb_xfixes_selection_notify_event_t& notify);
    void settingsChanged(const xcb_property_notify_event_t& notify);
    void readOwner();
    void watchOwner(xcb_window_t owner);
    void readTable();

    std::shared_ptr<X11Connection> connection_;
    std::function<void()> changed_;
    bool following_ = false;
    xcb_window_t owner_ = XCB_WINDOW_NONE;
    Table table_;
    // Only the answer to the latest read counts: an older one may tell an older table.
    std::uint64_t reads_ = 0;
};

}  // namespace talvori::x11
