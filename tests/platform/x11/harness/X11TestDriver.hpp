#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace talvori::testing {

// What another program and the user do on the test server, through a connection of its own:
// activate and move windows as a pager would, type and click through XTEST, and read what the
// server shows (stacking order, properties, pixels of the composited screen).
class X11TestDriver {
  public:
    // Linux input codes of keys the tests press.
    enum Key : std::uint8_t {
        kA = 30,
        kF = 33,
        kN = 49,
        kY = 21,
        kZ = 44,
        kUp = 103,
        kRight = 106,
        kEscape = 1,
        kTab = 15,
        kSpace = 57,
        kLeftShift = 42,
        kLeftControl = 29,
        kLeftAlt = 56,
        kLeftSuper = 125,
        kRightSuper = 126,
        kCapsLock = 58,
    };
    struct Rgb {
        int red = 0;
        int green = 0;
        int blue = 0;
        int brightness() const { return red + green + blue; }
    };
    // A point in root coordinates.
    struct Point {
        int x = 0;
        int y = 0;
        bool operator==(const Point&) const = default;
    };
    // How far what a window manager draws around a client's content reaches beyond it on every
    // desktop the tests run: title bar (KWin's Breeze one 41 pixels high),
    // borders, and the shadow a compositor spreads over what lies below. A point of a window this
    // far from every window above it shows that window's content alone.
    static constexpr int kFrameReach = 64;

    explicit X11TestDriver(const std::string& display);
    ~X11TestDriver();
    X11TestDriver(const X11TestDriver&) = delete;
    X11TestDriver& operator=(const X11TestDriver&) = delete;

    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t root() const { return root_; }
    xcb_atom_t atom(const char* name) const;

    // ---- Windows
    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property) const;
    std::vector<xcb_window_t> clientList() const;
    xcb_window_t activeWindow() const;
    // A window's children bottom to top (none once it is gone).
    std::vector<xcb_window_t> children(xcb_window_t window) const;
    // The root's children bottom to top.
    std::vector<xcb_window_t> stacking() const;
    // The child of the root holding `window`.
    xcb_window_t frameOf(xcb_window_t window) const;
    // The window directly above `window` among the root's children (none at the top).
    xcb_window_t windowAbove(xcb_window_t window) const;
    bool isViewable(xcb_window_t window) const;
    // x, y, width, height of `window` in root coordinates.
    std::vector<int> rootGeometry(xcb_window_t window) const;
    // A point inside `window`'s own content, `x, y` from its top left corner (negative ones count
    // from its right and bottom edges), taken from where the window is now. The tests read other
    // programs' windows only there: a window manager draws its frame around the content, never on
    // it, and that frame differs from one desktop and theme to the next. {-1, -1} (which reads as
    // black) when the window is gone or the point lies outside it.
    Point pointIn(xcb_window_t window, int x, int y) const;
    Point middleOf(xcb_window_t window) const;
    // Whether `point` lies inside `window`'s content and kFrameReach away from every viewable
    // window stacked above it (its own frame aside): the screen shows `window` there whatever
    // frames the desktop draws.
    bool showsAlone(xcb_window_t window, Point point) const;
    // As a pager does (source 2).
    void activate(xcb_window_t window);
    // As a program moving its own window does (the window manager moves the frame).
    void move(xcb_window_t window, int x, int y);
    void destroy(xcb_window_t window);
    // Another program's override-redirect window (a menu, a tooltip) at root `x, y`, mapped.
    xcb_window_t popUp(int x, int y, int width, int height);
    // Sets a list of windows (or one) on a window, as a window manager publishes its state.
    void setWindows(xcb_window_t window, const char* property,
                    const std::vector<xcb_window_t>& windows);
    // Gives `window` the keyboard focus (none: the root).
    void focus(xcb_window_t window);
    // The window the server sends keys to now.
    xcb_window_t focusedWindow() const;
    // Whether a program holds the keyboard: keys go to it wherever the focus is.
    bool isKeyboardHeld() const;
    // WM_CLASS as it stands: the instance and the class, each ended by a zero.
    std::string windowClass(xcb_window_t window) const;
    // A viewable window inside another program's window (as a system tray docks icons) that
    // `matches`; none when there is no such window.
    xcb_window_t findDocked(const std::function<bool(xcb_window_t)>& matches) const;
    // As a program renaming its window does (_NET_WM_NAME; none: the name taken away, leaving
    // WM_NAME).
    void retitle(xcb_window_t window, const std::optional<std::string>& title);
    // A new window, never mapped, whose frame extents are asked of the window manager
    // (_NET_REQUEST_FRAME_EXTENTS): _NET_FRAME_EXTENTS appears on it once the window manager has
    // read the request.
    xcb_window_t askFrameExtents();

    // ---- Input through XTEST (keys by Linux input code)
    void keyDown(std::uint8_t key);
    void keyUp(std::uint8_t key);
    // Presses `modifiers` in order, taps `key`, lets go in reverse order.
    void tap(std::uint8_t key, const std::vector<std::uint8_t>& modifiers = {});
    void moveMouse(int x, int y);
    void buttonDown(int button = 1);
    void buttonUp(int button = 1);
    void click(int x, int y, int button = 1);
    // Lets the server work through everything sent so far.
    void sync() const;

    // ---- Keys and grabs
    // Grabs the combination on the root as another program would; false when refused.
    bool grabKey(std::uint8_t key, std::uint16_t modifiers);
    void ungrabKey(std::uint8_t key, std::uint16_t modifiers);
    // Whether a press of `key` reached one of this driver's grabs since the last call.
    bool tookKeyPress(std::uint8_t key);
    // Moves the modifier key `key` (Linux input code) from whatever modifier bit carries it to
    // bit `index` (0 Shift ... 7 Mod5), as a user's xmodmap does; false when refused.
    bool moveModifierKey(std::uint8_t key, int index);

    // ---- The screen
    Rgb pixel(int x, int y) const;
    Rgb pixel(Point point) const { return pixel(point.x, point.y); }
    // The pixels of an area, row by row (none when it is not all on the screen).
    std::vector<Rgb> pixels(int x, int y, int width, int height) const;
    // Writes what the screen shows to a PNG file.
    bool screenshot(const std::string& path) const;

  private:
    void fake(std::uint8_t type, std::uint8_t detail, int x = 0, int y = 0);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::uint8_t rootDepth_ = 24;
};

// Whether a brightness `shown` is what Focus's dimming at its default strength makes of `lit`:
// partly dimmed, between about 0.3 and 0.75 of it. A tint drawn opaque is too dark to pass, a
// window left lit too light.
bool isDimmed(int shown, int lit);

}  // namespace talvori::testing
