#include <poll.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Platform.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Desktop.hpp"
#include "platform/x11/X11DesktopTest.hpp"
#include "platform/x11/X11XSettings.hpp"
#include "platform/x11/harness/X11TestBus.hpp"

namespace talvori::testing {
namespace {

namespace fs = std::filesystem;

// A settings table as settings daemons publish it (least significant byte first), with
// "Gtk/EnableAnimations" and the theme's name.
std::vector<std::uint8_t> settingsTable(int animations, const std::string& theme) {
    std::vector<std::uint8_t> table = {0, 0, 0, 0};
    auto card32 = [&](std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) table.push_back((value >> shift) & 0xFF);
    };
    auto name = [&](std::uint8_t type, const std::string& text) {
        table.insert(table.end(), {type, 0, static_cast<std::uint8_t>(text.size()), 0});
        table.insert(table.end(), text.begin(), text.end());
        while (table.size() % 4) table.push_back(0);
        card32(7);
    };
    card32(7);
    card32(2);
    name(1, "Net/ThemeName");
    card32(static_cast<std::uint32_t>(theme.size()));
    table.insert(table.end(), theme.begin(), theme.end());
    while (table.size() % 4) table.push_back(0);
    name(0, "Gtk/EnableAnimations");
    card32(static_cast<std::uint32_t>(animations));
    return table;
}

// The desktop's settings portal, holding GNOME's enable-animations.
class TestSettingsPortal {
  public:
    TestSettingsPortal(const X11TestBus& bus, bool animations)
        : bus_(bus.connect()), animations_(animations) {
        sd_bus_add_object_vtable(bus_, &object_, "/org/freedesktop/portal/desktop",
                                 "org.freedesktop.portal.Settings", kVTable, this);
        sd_bus_request_name(bus_, "org.freedesktop.portal.Desktop", 0);
        watch_ = platform().runLoop().watch(sd_bus_get_fd(bus_), POLLIN,
                                            [this](short) { processBus(bus_); });
    }
    ~TestSettingsPortal() {
        watch_.reset();
        sd_bus_slot_unref(object_);
        sd_bus_flush_close_unref(bus_);
    }
    void setAnimations(bool enabled) {
        animations_ = enabled;
        sd_bus_emit_signal(bus_, "/org/freedesktop/portal/desktop",
                           "org.freedesktop.portal.Settings", "SettingChanged", "ssv",
                           "org.gnome.desktop.interface", "enable-animations", "b", enabled);
        sd_bus_flush(bus_);
    }

  private:
    static int read(sd_bus_message* message, void* self, sd_bus_error*) {
        sd_bus_message* reply = nullptr;
        sd_bus_message_new_method_return(message, &reply);
        sd_bus_message_open_container(reply, 'v', "v");
        sd_bus_message_append(reply, "v", "b",
                              static_cast<TestSettingsPortal*>(self)->animations_ ? 1 : 0);
        sd_bus_message_close_container(reply);
        const int sent = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return sent;
    }
    static constexpr sd_bus_vtable kVTable[] = {
        SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Read", "ss", "v", read, 0),
        SD_BUS_SIGNAL("SettingChanged", "ssv", 0), SD_BUS_VTABLE_END};

    sd_bus* bus_;
    sd_bus_slot* object_ = nullptr;
    std::shared_ptr<FileWatch> watch_;
    bool animations_ = false;
};

class X11WorkspaceServicesTest : public X11DesktopTest {
  protected:
    X11WorkspaceServicesTest() : X11DesktopTest({.windowManager = false, .compositor = false}) {}
    void SetUp() override {
        ASSERT_TRUE(session().isReady()) << session().error();
        bus = std::make_unique<X11TestBus>(session());
        ASSERT_TRUE(bus->isReady()) << bus->error();
        X11DesktopTest::SetUp();
    }

    std::unique_ptr<X11TestBus> bus;
};

TEST_F(X11WorkspaceServicesTest, ReduceMotionFollowsTheSettingsDaemonElseTheStoredSetting) {
    auto& workspace = platform().workspace();
    EXPECT_FALSE(workspace.accessibilityDisplayShouldReduceMotion());
    // No settings daemon: GNOME's stored setting, through the settings portal (which we never
    // start: it is asked once it appears, and followed).
    TestSettingsPortal portal(*bus, false);
    EXPECT_TRUE(runUntil([&] { return workspace.accessibilityDisplayShouldReduceMotion(); }));
    portal.setAnimations(true);
    EXPECT_TRUE(runUntil([&] { return !workspace.accessibilityDisplayShouldReduceMotion(); }));
    portal.setAnimations(false);
    EXPECT_TRUE(runUntil([&] { return workspace.accessibilityDisplayShouldReduceMotion(); }));

    // A settings daemon starts, then the user turns animations off.
    xcb_connection_t* daemon = driver().connection();
    const xcb_window_t window = xcb_generate_id(daemon);
    xcb_create_window(daemon, 0, window, driver().root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t property = driver().atom("_XSETTINGS_SETTINGS");
    auto publish = [&](int animations) {
        const auto table = settingsTable(animations, "Adwaita-dark");
        xcb_change_property(daemon, XCB_PROP_MODE_REPLACE, window, property, property, 8,
                            static_cast<std::uint32_t>(table.size()), table.data());
        driver().sync();
    };
    publish(1);
    xcb_set_selection_owner(daemon, window, driver().atom("_XSETTINGS_S0"), XCB_CURRENT_TIME);
    driver().sync();
    // The settings daemon answers first.
    EXPECT_TRUE(runUntil([&] { return !workspace.accessibilityDisplayShouldReduceMotion(); }));
    publish(0);
    EXPECT_TRUE(runUntil([&] { return workspace.accessibilityDisplayShouldReduceMotion(); }));
    EXPECT_EQ(x11::X11XSettings::parse(settingsTable(0, "Adwaita-dark")).at("Net/ThemeName"),
              x11::X11XSettings::Value(std::string("Adwaita-dark")));
    // Asked at every animation, it answers from what the daemon last said: no request at all.
    xcb_connection_t* ours = desktop().connection().raw();
    const unsigned before = xcb_no_operation(ours).sequence;
    for (int read = 0; read < 20; ++read) workspace.accessibilityDisplayShouldReduceMotion();
    EXPECT_EQ(xcb_no_operation(ours).sequence, before + 1);

    // A table cut short reads as far as it goes.
    auto cut = settingsTable(0, "Adwaita-dark");
    cut.erase(cut.end() - 2, cut.end());
    EXPECT_EQ(x11::X11XSettings::parse(cut).size(), 1U);
    publish(1);
    EXPECT_TRUE(runUntil([&] { return !workspace.accessibilityDisplayShouldReduceMotion(); }));
    // The daemon gone, the stored setting (animations off) holds again.
    xcb_destroy_window(daemon, window);
    driver().sync();
    EXPECT_TRUE(runUntil([&] { return workspace.accessibilityDisplayShouldReduceMotion(); }));
    portal.setAnimations(true);
    EXPECT_TRUE(runUntil([&] { return !workspace.accessibilityDisplayShouldReduceMotion(); }));
}

TEST_F(X11WorkspaceServicesTest, OpensWebAndMailAddressesAndOurOwnFilesThroughXdgOpenAndReapsIt) {
    // An xdg-open of our own, first on the path, records what it was given, its process and the
    // signals it was started with blocked and ignored (read by the shell itself, which has
    // changed neither yet).
    const fs::path folder =
        fs::temp_directory_path() / ("talvori-open-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path record = folder / "record";
    const fs::path stub = folder / "xdg-open";
    std::ofstream(stub) << "#!/bin/sh\n{ printf '%s\\n' \"$$\" \"$#\" \"$@\"\n"
                        << "while read -r key value; do case $key in SigBlk:|SigIgn:) echo "
                           "\"$value\";; esac; done < /proc/$$/status; } > '"
                        << record.string() << ".new' && mv '" << record.string() << ".new' '"
                        << record.string() << "'\n";
    fs::permissions(stub, fs::perms::owner_all);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (folder.string() + ":" + path).c_str(), 1);
    auto recorded = [&] {
        std::ifstream file(record);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) lines.push_back(line);
        return lines;
    };

    auto& workspace = platform().workspace();
    for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "https://",
                                "ftp://example.org", "-e https://example.org"}) {
        EXPECT_FALSE(workspace.openURL(refused)) << refused;
    }
    const std::string address = "https://example.org/notes?a=1&b=2;c=$HOME 'x'";
    EXPECT_TRUE(workspace.openURL(address));
    ASSERT_TRUE(runUntil([&] { return recorded().size() == 5; }));
    const auto lines = recorded();
    EXPECT_EQ(lines[1], "1");
    EXPECT_EQ(lines[2], address);
    // Nothing blocked, nothing ignored: our SIGPIPE setting stays ours. Signals 32 and 33 are the
    // C library's own.
    constexpr unsigned long long kOrdinarySignals = 0x7fffffff;
    EXPECT_EQ(std::stoull(lines[3], nullptr, 16) & kOrdinarySignals, 0U) << lines[3];
    EXPECT_EQ(std::stoull(lines[4], nullptr, 16) & kOrdinarySignals, 0U) << lines[4];
    // Reaped once it ended: no process of that number is left, not even a finished one.
    const std::string process = "/proc/" + lines[0];
    EXPECT_TRUE(runUntil([&] { return !fs::exists(process); }));

    EXPECT_TRUE(workspace.openURL("mailto:someone@example.org"));
    EXPECT_TRUE(runUntil([&] {
        const auto now = recorded();
        return now.size() == 5 && now[2] == "mailto:someone@example.org";
    }));
    // A download of ours, by its absolute path only; its address names that one file.
    EXPECT_FALSE(workspace.openFile("Downloads/Talvori-1.3.tar.gz"));
    EXPECT_TRUE(workspace.openFile("/tmp/a b/Talvori 1.3#?.tar.gz"));
    EXPECT_TRUE(runUntil([&] {
        const auto now = recorded();
        return now.size() == 5 && now[2] == "file:///tmp/a%20b/Talvori%201.3%23%3F.tar.gz";
    }));
    ::setenv("PATH", path.c_str(), 1);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace talvori::testing
