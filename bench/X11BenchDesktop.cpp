#include "X11BenchDesktop.hpp"

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/Platform.hpp"
#include "platform/core/UserDefaults.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"

namespace talvori::bench {

double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double processCpuSeconds(pid_t pid) {
    std::ifstream schedule("/proc/" + std::to_string(pid) + "/schedstat");
    double nanoseconds = 0;
    schedule >> nanoseconds;
    return nanoseconds * 1e-9;
}

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

// ---- ServerWatch

ServerWatch::ServerWatch(const std::string& display) : driver_(display) {
    const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                    XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_change_window_attributes(driver_.connection(), driver_.root(), XCB_CW_EVENT_MASK, events);
    driver_.sync();
}

ServerWatch::~ServerWatch() {
    finish();
}

void ServerWatch::start(Condition condition, Observer observer) {
    finish();
    done_ = false;
    thread_ = std::thread([this, condition, observer] {
        xcb_connection_t* connection = driver_.connection();
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        bool held = false;
        while (!held && Clock::now() < deadline) {
            xcb_generic_event_t* event = xcb_poll_for_event(connection);
            if (!event) {
                pollfd readable{xcb_get_file_descriptor(connection), POLLIN, 0};
                ::poll(&readable, 1, 5);
                continue;
            }
            Clock::time_point at;
            for (; event; event = xcb_poll_for_event(connection)) {
                at = Clock::now();
                if (observer) observer(*event, at);
                std::free(event);
            }
            held = condition(driver_);
            seenAt_ = at;
        }
        held_ = held;
        done_ = true;
    });
}

bool ServerWatch::finish() {
    if (thread_.joinable()) thread_.join();
    return held_;
}

// ---- PixelWatch

PixelWatch::PixelWatch(const std::string& display) : driver_(display) {}

PixelWatch::~PixelWatch() {
    finish();
}

void PixelWatch::start(std::vector<Point> points, Step step) {
    finish();
    done_ = false;
    thread_ = std::thread([this, points = std::move(points), step = std::move(step)] {
        xcb_connection_t* connection = driver_.connection();
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        bool enough = false;
        std::vector<xcb_get_image_cookie_t> cookies(points.size());
        std::vector<int> brightness(points.size());
        while (!enough && Clock::now() < deadline) {
            for (std::size_t index = 0; index < points.size(); ++index) {
                cookies[index] =
                    xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, driver_.root(),
                                  static_cast<std::int16_t>(points[index].x),
                                  static_cast<std::int16_t>(points[index].y), 1, 1, ~0U);
            }
            for (std::size_t index = 0; index < points.size(); ++index) {
                auto* image = xcb_get_image_reply(connection, cookies[index], nullptr);
                std::uint32_t value = 0;
                if (image && xcb_get_image_data_length(image) >= 4) {
                    value = *reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
                }
                std::free(image);
                brightness[index] = static_cast<int>(((value >> 16) & 0xFF) +
                                                     ((value >> 8) & 0xFF) + (value & 0xFF));
            }
            enough = step(brightness, Clock::now());
            // Room for the others on a small machine, well below a frame.
            if (!enough) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ended_ = enough;
        done_ = true;
    });
}

bool PixelWatch::finish() {
    if (thread_.joinable()) thread_.join();
    return ended_;
}

// ---- X11BenchDesktop

X11TestDesktop benchedDesktop() {
    const char* asked = std::getenv("TALVORI_X11_DESKTOP");
    return asked ? testing::desktopNamed(asked).value_or(X11TestDesktop::openbox)
                 : X11TestDesktop::openbox;
}

X11BenchDesktop::X11BenchDesktop(Options options)
    : hasProgram_(options.program),
      session_(X11TestSession::Options{.desktop = benchedDesktop(),
                                       .tray = options.tray,
                                       .compositorOptions = options.compositorOptions}) {
    if (!session_.isReady()) return;
    if (hasProgram_) {
        auto real = Platform::makeReal();
        real->setUserDefaults(UserDefaults::inMemory());
        Platform::install(std::move(real));
        desktop_ = x11::X11Desktop::install(platform(), session_.display().c_str());
    }
    driver_ = std::make_unique<X11TestDriver>(session_.display());
    backdrop = openClient("Backdrop", 0, 0, 1280, 800, 0xc0c0c0);
    constexpr int kColumns = 9;
    for (int index = 0; index + 3 < options.windows; ++index) {
        const int column = index % kColumns, row = index / kColumns % 7;
        openClient("Other " + std::to_string(index), 10 + column * 140, 10 + row * 112, 130, 90,
                   0x808080 + static_cast<std::uint32_t>(index % 8) * 0x101010);
    }
    alpha = openClient("Alpha", 100, 120, 400, 300, kAlphaColor);
    beta = openClient("Beta", 700, 380, 400, 300, kBetaColor);
}

X11BenchDesktop::~X11BenchDesktop() {
    desktop_.reset();
    if (hasProgram_ && Platform::isInstalled()) Platform::uninstall();
}

std::string X11BenchDesktop::error() const {
    if (!session_.isReady()) return session_.error();
    if (hasProgram_ && !desktop_) return "cannot connect to the test server";
    if (!alpha.window || !beta.window) return "the test clients did not start";
    return {};
}

xcb_connection_t* X11BenchDesktop::programConnection() const {
    return desktop_ ? desktop_->connection().raw() : nullptr;
}

void X11BenchDesktop::runOnce(double seconds) {
    const double before = threadCpuSeconds();
    const auto started = Clock::now();
    const auto limit = std::chrono::duration<double>(seconds);
    // Whether only this bench's limit, not a timer of the program, can end a pass with no news.
    bool limitedByUs = true;
    if (hasProgram_) {
        RunLoop& loop = platform().runLoop();
        limitedByUs = loop.nextDeadline() - loop.now() > nanosecondsFromSeconds(seconds);
        loop.runOnce(seconds);
    } else if (pump) {
        pump(seconds);
    } else {
        std::this_thread::sleep_for(limit);
    }
    cpuSeconds += threadCpuSeconds() - before;
    ++passes;
    if (limitedByUs && Clock::now() - started >= limit) ++benchWakeups;
}

bool X11BenchDesktop::runUntil(const std::function<bool()>& condition, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        runOnce(0.001);
    }
    return true;
}

void X11BenchDesktop::runFor(double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
        runOnce(std::chrono::duration<double>(deadline - now).count());
    }
}

void X11BenchDesktop::activate(xcb_window_t window) {
    driver_->activate(window);
    runUntil([&] { return driver_->activeWindow() == window; });
}

X11TestSession::Client X11BenchDesktop::openClient(const std::string& title, int x, int y,
                                                   int width, int height, std::uint32_t color) {
    auto client = session_.openClient(title, x, y, width, height, color);
    if (!client.window) return client;
    const bool managed = runUntil([&] {
        const auto clients = driver_->clientList();
        return std::find(clients.begin(), clients.end(), client.window) != clients.end() &&
               driver_->frameOf(client.window) != client.window;
    });
    if (!managed) client.window = XCB_WINDOW_NONE;
    if (client.window) activate(client.window);
    return client;
}

}  // namespace talvori::bench
