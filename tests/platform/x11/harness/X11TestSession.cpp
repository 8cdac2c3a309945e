#include "platform/x11/harness/X11TestSession.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/x11/harness/X11TestBus.hpp"

extern char** environ;

namespace talvori::testing {

namespace {

using Clock = std::chrono::steady_clock;

// This process's environment with `display`, and `overrides` (NAME=value) in place of the
// entries of the same names.
std::vector<std::string> environmentWith(const std::string& display,
                                         std::vector<std::string> overrides = {}) {
    overrides.push_back("DISPLAY=" + display);
    const auto overridden = [&](const char* entry) {
        return std::any_of(overrides.begin(), overrides.end(), [entry](const std::string& own) {
            const auto name = own.substr(0, own.find('=') + 1);
            return std::strncmp(entry, name.c_str(), name.size()) == 0;
        });
    };
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        if (!overridden(*entry)) entries.emplace_back(*entry);
    }
    entries.insert(entries.end(), overrides.begin(), overrides.end());
    return entries;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& string : strings) result.push_back(string.data());
    result.push_back(nullptr);
    return result;
}

// Starts a program whose standard output goes to `output` (else nowhere), whose standard input
// comes from `input` (else nothing) and, when `extra` is given, with it as descriptor 3. It is
// killed when this process ends, however it ends: a test that crashes leaves no servers behind.
// 0 when it cannot start.
pid_t launch(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
             int output = -1, int extra = -1, int input = -1) {
    auto argumentCopy = arguments;
    auto environmentCopy = environment;
    auto argv = pointers(argumentCopy);
    auto envp = pointers(environmentCopy);
    // The child reports a failed exec through a pipe that a successful one closes.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return 0;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(input >= 0 ? input : null, 0);
        ::dup2(output >= 0 ? output : null, 1);
        ::dup2(null, 2);
        if (extra >= 0) ::dup2(extra, 3);
        ::execvpe(argv[0], argv.data(), envp.data());
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    if (pid < 0) {
        ::close(report[0]);
        return 0;
    }
    int error = 0;
    const ssize_t got = ::read(report[0], &error, sizeof error);
    ::close(report[0]);
    if (got > 0) {
        ::waitpid(pid, nullptr, 0);
        return 0;
    }
    return pid;
}

// Waits for `pid` to end for at most `limit`; true when it did (and was reaped).
bool reap(pid_t pid, std::chrono::milliseconds limit, int* status = nullptr) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const pid_t done = ::waitpid(pid, status, WNOHANG);
        if (done == pid || done < 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    if (reap(pid, std::chrono::milliseconds(1500))) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

xcb_atom_t intern(xcb_connection_t* connection, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

std::vector<std::uint32_t> cardinals(xcb_connection_t* connection, xcb_window_t window,
                                     xcb_atom_t property) {
    auto* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr);
    std::vector<std::uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

// A file of /proc, read with plain calls: a stream throws when its process ends meanwhile.
std::string readProcessFile(pid_t pid, const char* name) {
    const std::string path = "/proc/" + std::to_string(pid) + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    char buffer[512];
    for (ssize_t got = ::read(fd, buffer, sizeof buffer); got > 0;
         got = ::read(fd, buffer, sizeof buffer)) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

// This process's children, which are also what its children left behind: it is their reaper.
std::vector<pid_t> childrenOfThisProcess() {
    std::vector<pid_t> children;
    const pid_t self = ::getpid();
    std::error_code error;
    // Processes come and go while the folder is read: no step may throw.
    for (std::filesystem::directory_iterator entry("/proc", error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::strtol(name.c_str(), nullptr, 10));
        const std::string stat = readProcessFile(pid, "stat");
        // "pid (command) state ppid ...": the command may hold spaces and parentheses.
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        pid_t parent = 0;
        std::istringstream(stat.substr(close + 1)) >> state >> parent;
        if (parent == self) children.push_back(pid);
    }
    return children;
}

std::string commandLineOf(pid_t pid) {
    std::string line = readProcessFile(pid, "cmdline");
    std::replace(line.begin(), line.end(), '\0', ' ');
    if (line.empty()) line = readProcessFile(pid, "comm");
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) line.pop_back();
    return std::to_string(pid) + " " + line;
}

// Ends what the programs a session started left running once they ended: given a moment, what
// lost its server or bus ends by itself; the rest is named and killed, and so is what that left.
std::vector<std::string> endLeftovers() {
    std::vector<std::string> left;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    // What a killed one leaves comes to this process in turn: a few rounds end that too.
    for (int killings = 0; killings < 10;) {
        std::vector<pid_t> running;
        for (const pid_t child : childrenOfThisProcess()) {
            if (::waitpid(child, nullptr, WNOHANG) == 0) running.push_back(child);
        }
        if (running.empty()) break;
        if (Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        for (const pid_t child : running) {
            left.push_back(commandLineOf(child));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        ++killings;
    }
    return left;
}

// Whether another client holds the key (an evdev code) with `modifiers` on the root.
bool isKeyHeld(xcb_connection_t* connection, xcb_window_t root, std::uint8_t key,
               std::uint16_t modifiers) {
    constexpr std::uint8_t kEvdevOffset = 8;
    const auto code = static_cast<xcb_keycode_t>(key + kEvdevOffset);
    xcb_generic_error_t* error = xcb_request_check(
        connection, xcb_grab_key_checked(connection, 1, root, modifiers, code, XCB_GRAB_MODE_ASYNC,
                                         XCB_GRAB_MODE_ASYNC));
    if (!error) {
        xcb_ungrab_key(connection, code, root, modifiers);
        xcb_flush(connection);
        return false;
    }
    const bool held = error->error_code == XCB_ACCESS;
    std::free(error);
    return held;
}

// What starts each desktop's window manager, and the settings it needs apart from the user's.
struct Recipe {
    X11TestDesktop desktop;
    const char* name;
    const char* program;
    // Whether the window manager composites itself; else picom does.
    bool composites;
};

constexpr Recipe kRecipes[] = {
    {X11TestDesktop::openbox, "openbox", "openbox", false},
    {X11TestDesktop::xfwm4, "xfwm4", "xfwm4", true},
    {X11TestDesktop::icewm, "icewm", "icewm", false},
    {X11TestDesktop::kwin, "kwin", "kwin_x11", true},
    {X11TestDesktop::mutter, "mutter", "mutter", true},
};

const Recipe& recipeOf(X11TestDesktop desktop) {
    for (const Recipe& recipe : kRecipes) {
        if (recipe.desktop == desktop) return recipe;
    }
    return kRecipes[0];
}

// Its blur effect is off by default where rendering is done in software, as under Xvfb.
constexpr const char* kKWinSettings = "[Plugins]\nblurEnabled=true\n";

// Its left Super key alone opens its start menu, which takes the keyboard.
constexpr const char* kIceWMSettings = "Win95Keys=0\n";

}  // namespace

const char* nameOf(X11TestDesktop desktop) {
    return recipeOf(desktop).name;
}

std::optional<X11TestDesktop> desktopNamed(const std::string& name) {
    for (const Recipe& recipe : kRecipes) {
        if (name == recipe.name) return recipe.desktop;
    }
    return std::nullopt;
}

bool hasProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string paths = path;
    std::size_t start = 0;
    while (start <= paths.size()) {
        const std::size_t end = std::min(paths.find(':', start), paths.size());
        const std::filesystem::path candidate =
            std::filesystem::path(paths.substr(start, end - start)) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

X11TestSession::X11TestSession(Options options) : desktop_(options.desktop), options_(options) {
    // What a program started here leaves running when it ends comes to this process, not to init.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    if (!makeFolders()) return;
    const Recipe& recipe = recipeOf(desktop_);
    for (const char* tool :
         {"Xvfb", "openbox", "picom", "setxkbmap", "xdotool", "trayer", recipe.program}) {
        if (!hasProgram(tool)) {
            error_ = std::string(tool) + " is missing: run scripts/setup";
            return;
        }
    }
    if (!startServer(options)) return;
    if (!options.resources.empty() && !setResources(options.resources)) return;
    if (options.windowManager && !startWindowManager(options)) return;
    if (options.compositor && !startCompositor(options.compositorOptions)) return;
    if (options.tray && !startTray(options.trayAtBottom)) return;
}

X11TestSession::~X11TestSession() {
    const auto left = endAll();
    for (const auto& program : left) std::fprintf(stderr, "left running: %s\n", program.c_str());
}

std::vector<std::string> X11TestSession::endAll() {
    if (ended_) return {};
    ended_ = true;
    // The clients first, then the server they talk to.
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) stop(*it);
    children_.clear();
    stop(server_);
    server_ = 0;
    auto left = endLeftovers();
    desktopBus_.reset();
    std::error_code ignored;
    for (const auto& folder : settingsFolders_) std::filesystem::remove_all(folder, ignored);
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    for (auto it = previousEnvironment_.rbegin(); it != previousEnvironment_.rend(); ++it) {
        if (it->second) {
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            ::unsetenv(it->first.c_str());
        }
    }
    previousEnvironment_.clear();
    return left;
}

void X11TestSession::setEnvironment(const std::string& name, const std::string& value) {
    const char* before = std::getenv(name.c_str());
    previousEnvironment_.emplace_back(name,
                                      before ? std::optional<std::string>(before) : std::nullopt);
    if (value.empty()) {
        ::unsetenv(name.c_str());
    } else {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
}

bool X11TestSession::makeFolders() {
    static int made = 0;
    const auto root =
        std::filesystem::temp_directory_path() /
        ("talvori-session-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
    folder_ = root.string();
    std::error_code error;
    std::filesystem::remove_all(root, error);
    const std::pair<const char*, const char*> folders[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"},
        {"XDG_STATE_HOME", "state"},
        {"XDG_RUNTIME_DIR", "runtime"},
    };
    for (const auto& [variable, name] : folders) {
        std::filesystem::create_directories(root / name, error);
        if (error) {
            error_ = "cannot make the session's folder " + (root / name).string();
            return false;
        }
        setEnvironment(variable, (root / name).string());
    }
    std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all, error);
    // A program that finds no session bus reaches for none: no bus is started on demand.
    setEnvironment("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    // The machine's desktop and its accessibility bus are not this session's.
    for (const char* name : {"AT_SPI_BUS_ADDRESS", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP",
                             "DESKTOP_SESSION", "SESSION_MANAGER", "WAYLAND_DISPLAY"}) {
        setEnvironment(name, "");
    }
    // Speech goes to an address where nothing listens, and the speech server a program would
    // start there on demand refuses to (tests that hear speech run a server of their own).
    const auto speech = root / "runtime" / "speech-dispatcher";
    setEnvironment("SPEECHD_ADDRESS", "unix_socket:" + (speech / "speechd.sock").string());
    std::filesystem::create_directories(root / "config" / "speech-dispatcher", error);
    std::ofstream(root / "config" / "speech-dispatcher" / "speechd.conf") << "DisableAutoSpawn\n";
    return true;
}

bool X11TestSession::startServer(const Options& options) {
    int fds[2];
    if (::pipe(fds) != 0) {
        error_ = "no pipe for the server's display number";
        return false;
    }
    // Xvfb picks a free display itself and writes its number to descriptor 3 once it listens,
    // so parallel tests never collide.
    const std::string screen =
        std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
    std::vector<std::string> arguments{"Xvfb",     "-displayfd", "3",         "-screen",
                                       "0",        screen,       "-nolisten", "tcp",
                                       "-noreset", "+extension", "RANDR"};
    if (!options.compositeExtension) {
        arguments.push_back("-extension");
        arguments.push_back("Composite");
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    server_ = launch(arguments, environment, -1, fds[1]);
    ::close(fds[1]);
    if (server_ <= 0) {
        ::close(fds[0]);
        server_ = 0;
        error_ = "Xvfb does not start";
        return false;
    }
    std::string number;
    pollfd waiting{fds[0], POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
        if (::poll(&waiting, 1, 50) <= 0) continue;
        char buffer[16];
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        number.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "Xvfb gave no display number";
        return false;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
    return true;
}

// A connection of the session's own, or none with `error()` saying why.
xcb_connection_t* X11TestSession::connectOrSay() {
    xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
    if (!xcb_connection_has_error(connection)) return connection;
    xcb_disconnect(connection);
    error_ = "cannot reach the test server";
    return nullptr;
}

bool X11TestSession::setResources(const std::string& resources) {
    xcb_connection_t* connection = connectOrSay();
    if (!connection) return false;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root, XCB_ATOM_RESOURCE_MANAGER,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(resources.size()),
                        resources.data());
    // Answered only once the server has handled the change before it.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
    return true;
}

// A window manager can miss a window mapped right after it claims the screen (openbox does): it
// is ready once a probe window shows up in its client list. Each keeps its settings in a folder
// of the session's own, never the user's.
bool X11TestSession::startWindowManager(const Options& options, bool replacing) {
    static int made = 0;
    settings_ = (std::filesystem::temp_directory_path() /
                 ("talvori-desktop-" + std::to_string(::getpid()) + "-" + std::to_string(++made)))
                    .string();
    std::filesystem::create_directories(settings_);
    settingsFolders_.push_back(settings_);
    auto desktop = desktopEnvironment();
    if (!desktop) return false;
    std::vector<std::string> environment = std::move(*desktop);
    environment.push_back("XDG_CONFIG_HOME=" + settings_);
    std::vector<std::string> arguments;
    switch (desktop_) {
        case X11TestDesktop::openbox:
            arguments = {"openbox", "--sm-disable"};
            break;
        case X11TestDesktop::xfwm4:
            if (!startSettingsService(environment)) return false;
            arguments = {"xfwm4", "--sm-client-disable", "--vblank=off",
                         options.compositor ? "--compositor=on" : "--compositor=off"};
            break;
        case X11TestDesktop::icewm:
            arguments = {"icewm"};
            environment.push_back("ICEWM_PRIVCFG=" + settings_);
            std::ofstream(settings_ + "/preferences") << kIceWMSettings;
            break;
        case X11TestDesktop::kwin:
            arguments = {"kwin_x11"};
            {
                std::ofstream settings(settings_ + "/kwinrc");
                settings << kKWinSettings;
                for (const auto& line : options.compositorOptions) settings << line << "\n";
            }
            if (!options.compositor) environment.push_back("KWIN_COMPOSE=N");
            if (!startShortcutService(environment)) return false;
            break;
        case X11TestDesktop::mutter:
            if (!options.compositor) {
                error_ = "mutter always composites";
                return false;
            }
            arguments = {"mutter", "--x11", "--sm-disable"};
            break;
    }
    if (replacing) arguments.push_back("--replace");
    const pid_t previous = windowManager_;
    windowManager_ = spawnWith(arguments, environment);
    // Until the one replaced has gone, it would manage the window that tells readiness.
    if (replacing && end(previous, 0, 10) < 0) {
        error_ = std::string(recipeOf(desktop_).program) + " does not replace the running one";
        return false;
    }
    xcb_connection_t* connection = connectOrSay();
    if (!connection) return false;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t clientList = intern(connection, "_NET_CLIENT_LIST");
    bool ready = false;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!ready && Clock::now() < deadline) {
        const xcb_window_t probe = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(connection, probe);
        xcb_flush(connection);
        ready = waitFor(
            [&] {
                const auto clients = cardinals(connection, screen->root, clientList);
                return std::find(clients.begin(), clients.end(), probe) != clients.end();
            },
            std::chrono::milliseconds(250));
        xcb_destroy_window(connection, probe);
        xcb_flush(connection);
    }
    // The probe's departure from the list, so that tests see only their own windows.
    waitFor([&] { return cardinals(connection, screen->root, clientList).empty(); },
            std::chrono::seconds(2));
    xcb_disconnect(connection);
    if (!ready) error_ = std::string(recipeOf(desktop_).program) + " does not manage windows";
    return ready && (desktop_ != X11TestDesktop::kwin || waitForKWinShortcuts());
}

bool X11TestSession::replaceWindowManager() {
    if (desktop_ == X11TestDesktop::openbox) return run({"openbox", "--restart"}) == 0;
    return startWindowManager(options_, true);
}

std::optional<std::vector<std::string>> X11TestSession::desktopEnvironment() {
    if (!desktopBus_) desktopBus_ = std::make_unique<X11TestBus>(*this, X11TestBus::Role::desktop);
    if (!desktopBus_->isReady()) {
        error_ = desktopBus_->error();
        return std::nullopt;
    }
    return std::vector<std::string>{
        "DBUS_SESSION_BUS_ADDRESS=" + desktopBus_->address(),
        // Without the accessibility bus, which toolkits would otherwise look for on this bus.
        "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory"};
}

// xfwm4 reads its settings from xfconfd over D-Bus, and gives up without it.
bool X11TestSession::startSettingsService(std::vector<std::string>& environment) {
    const char* const candidates[] = {"/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd",
                                      "/usr/lib/xfce4/xfconf/xfconfd"};
    const auto found = std::find_if(std::begin(candidates), std::end(candidates),
                                    [](const char* path) { return ::access(path, X_OK) == 0; });
    if (found == std::end(candidates)) {
        error_ = "xfconfd is missing: run scripts/setup";
        return false;
    }
    if (desktopBus_->waitForName("org.xfce.Xfconf", 0)) return true;
    spawnWith({*found}, environment);
    if (!desktopBus_->waitForName("org.xfce.Xfconf", 10)) {
        error_ = "xfconfd does not start";
        return false;
    }
    return true;
}

// As in a KDE session, where the bus starts it on KWin's first call; started here before KWin
// instead, so that KWin's keys are held before a test starts whatever it starts.
bool X11TestSession::startShortcutService(const std::vector<std::string>& environment) {
    if (shortcutService_ > 0) return true;
    if (!hasProgram("kglobalaccel5")) {
        error_ = "kglobalaccel5 is missing: run scripts/setup";
        return false;
    }
    shortcutService_ = spawnWith({"kglobalaccel5"}, environment);
    if (!desktopBus_->waitForName("org.kde.kglobalaccel", 10)) {
        error_ = "kglobalaccel5 does not start";
        return false;
    }
    return true;
}

// KWin is ready once its keys are held: Meta+Alt+Up (one of its window switches) stands for them.
bool X11TestSession::waitForKWinShortcuts() {
    xcb_connection_t* connection = connectOrSay();
    if (!connection) return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    constexpr std::uint8_t kUp = 103;
    const bool held =
        waitFor([&] { return isKeyHeld(connection, root, kUp, XCB_MOD_MASK_1 | XCB_MOD_MASK_4); },
                std::chrono::seconds(10));
    xcb_disconnect(connection);
    if (!held) error_ = "kwin_x11 holds none of its shortcuts";
    return held;
}

bool X11TestSession::startCompositor(const std::vector<std::string>& options) {
    if (recipeOf(desktop_).composites) {
        const bool ready = waitForOwner("_NET_WM_CM_S0", 20);
        if (ready) compositor_ = windowManager_;
        if (!ready) error_ = std::string(recipeOf(desktop_).program) + " does not composite";
        return ready;
    }
    std::vector<std::string> arguments{"picom", "--config", "/dev/null", "--backend", "xrender"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const auto environment = desktopEnvironment();
    if (!environment) return false;
    compositor_ = spawnWith(arguments, *environment);
    const bool ready = waitForOwner("_NET_WM_CM_S0", 10);
    if (!ready) error_ = "picom does not start compositing";
    return ready;
}

bool X11TestSession::startTray(bool atBottom) {
    if (desktop_ == X11TestDesktop::icewm) {
        const bool ready = waitForOwner("_NET_SYSTEM_TRAY_S0", 10);
        if (!ready) error_ = "icewm's task bar has no system tray";
        return ready;
    }
    const auto environment = desktopEnvironment();
    if (!environment) return false;
    spawnWith({"trayer", "--edge", atBottom ? "bottom" : "top", "--align", "right", "--widthtype",
               "pixel", "--width", "120", "--height", "24", "--SetPartialStrut", "true"},
              *environment);
    const bool ready = waitForOwner("_NET_SYSTEM_TRAY_S0", 10);
    if (!ready) error_ = "trayer does not start its tray";
    return ready;
}

bool X11TestSession::waitForOwner(const char* name, int seconds) const {
    xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
    const xcb_atom_t selection = intern(connection, name);
    const bool owned = waitFor(
        [&] {
            auto* owner = xcb_get_selection_owner_reply(
                connection, xcb_get_selection_owner(connection, selection), nullptr);
            const bool found = owner && owner->owner != XCB_WINDOW_NONE;
            std::free(owner);
            return found;
        },
        std::chrono::seconds(seconds));
    xcb_disconnect(connection);
    return owned;
}

pid_t X11TestSession::spawnWith(const std::vector<std::string>& arguments,
                                const std::vector<std::string>& environment) {
    const pid_t pid = launch(arguments, environmentWith(display_, environment));
    if (pid > 0) children_.push_back(pid);
    return pid;
}

pid_t X11TestSession::spawn(const std::vector<std::string>& arguments, int* output, int* input) {
    int fds[2] = {-1, -1};
    int in[2] = {-1, -1};
    if (output && ::pipe2(fds, O_CLOEXEC) != 0) return 0;
    if (input && ::pipe2(in, O_CLOEXEC) != 0) {
        if (fds[0] >= 0) ::close(fds[0]);
        if (fds[1] >= 0) ::close(fds[1]);
        return 0;
    }
    const pid_t pid = launch(arguments, environmentWith(display_), fds[1], -1, in[0]);
    if (fds[1] >= 0) ::close(fds[1]);
    if (in[0] >= 0) ::close(in[0]);
    if (pid <= 0) {
        if (fds[0] >= 0) ::close(fds[0]);
        if (in[1] >= 0) ::close(in[1]);
        return 0;
    }
    if (output) *output = fds[0];
    if (input) *input = in[1];
    children_.push_back(pid);
    return pid;
}

X11TestSession::Client X11TestSession::openClient(const std::string& title, int x, int y, int width,
                                                  int height, std::uint32_t color,
                                                  const ClientLook& look) {
    const auto hex = [](std::uint32_t rgb) {
        char text[8];
        std::snprintf(text, sizeof text, "%06x", rgb & 0xFFFFFF);
        return std::string(text);
    };
    std::vector<std::string> arguments{TALVORI_X11_TEST_CLIENT,
                                       title,
                                       look.windowClass.empty() ? title : look.windowClass,
                                       std::to_string(x),
                                       std::to_string(y),
                                       std::to_string(width),
                                       std::to_string(height),
                                       hex(color)};
    if (!look.publishPid) arguments.push_back("--no-pid");
    if (look.iconColor) {
        arguments.push_back("--icon");
        arguments.push_back(hex(*look.iconColor));
    }
    arguments.insert(arguments.end(), look.options.begin(), look.options.end());
    int output = -1;
    Client client;
    client.pid = spawn(arguments, &output);
    if (client.pid <= 0 || output < 0) return client;
    // The program prints its window's id once the window is mapped.
    std::string line;
    pollfd waiting{output, POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
        if (::poll(&waiting, 1, 20) <= 0) continue;
        char buffer[32];
        const ssize_t got = ::read(output, buffer, sizeof buffer);
        if (got <= 0) break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(output);
    client.window = static_cast<xcb_window_t>(std::strtoul(line.c_str(), nullptr, 10));
    return client;
}

int X11TestSession::run(const std::vector<std::string>& arguments) {
    const pid_t pid = spawn(arguments);
    if (pid <= 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::erase(children_, pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void X11TestSession::end(pid_t pid) {
    if (std::find(children_.begin(), children_.end(), pid) == children_.end()) return;
    stop(pid);
    std::erase(children_, pid);
}

int X11TestSession::end(pid_t pid, int signal, double seconds) {
    if (std::find(children_.begin(), children_.end(), pid) == children_.end()) return -1;
    std::erase(children_, pid);
    ::kill(pid, signal);
    int status = 0;
    const auto limit = std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    if (reap(pid, limit, &status)) return status;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

void X11TestSession::killServer() {
    if (server_ <= 0) return;
    ::kill(server_, SIGKILL);
    ::waitpid(server_, nullptr, 0);
    server_ = 0;
}

}  // namespace talvori::testing
