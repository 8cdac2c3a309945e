#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/x11/harness/X11TestDriver.hpp"

namespace talvori::testing {
namespace {

namespace fs = std::filesystem;

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    int brightness() const { return red + green + blue; }
};

// A screenshot the tour wrote.
class Picture {
  public:
    explicit Picture(const fs::path& path)
        : surface_(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy) {}
    bool isLoaded() const { return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS; }
    Rgb at(int x, int y) const {
        const auto* data = cairo_image_surface_get_data(surface_.get());
        const int stride = cairo_image_surface_get_stride(surface_.get());
        const auto pixel = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
        return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                static_cast<int>(pixel & 0xFF)};
    }

  private:
    std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface_;
};

bool isPanelDark(const Rgb& color) {
    return color.brightness() < 120;
}

// The middle of what the tour's output reports as "NAME at X Y WIDTH HEIGHT".
std::optional<std::pair<int, int>> middleOfReported(const std::string& output,
                                                    const std::string& name) {
    const std::string label = name + " at ";
    const auto at = output.find(label);
    if (at == std::string::npos) return std::nullopt;
    int x = 0, y = 0, width = 0, height = 0;
    if (!(std::istringstream(output.substr(at + label.size())) >> x >> y >> width >> height)) {
        return std::nullopt;
    }
    return std::pair{x + width / 2, y + height / 2};
}

// The tour of scripts/run, with shorter waits, on the build's program.
TEST(X11TourTest, TheTourShowsTheFirstRunFocusACoverAndThePanelFromTheTray) {
    const fs::path folder =
        fs::temp_directory_path() / ("talvori-tour-test-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    const std::string command = std::string(TALVORI_TOUR) + " --program " + TALVORI_PROGRAM +
                                " --folder " + folder.string() + " --patience 0.6 2>&1";
    FILE* tour = ::popen(command.c_str(), "r");
    ASSERT_TRUE(tour);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, tour)) output += buffer;
    const int status = ::pclose(tour);
    ASSERT_EQ(status, 0) << output;
    // Its desktop ended with nothing of it left running.
    EXPECT_EQ(output.find("left running:"), std::string::npos) << output;

    std::vector<std::string> shots;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".png") shots.push_back(entry.path().filename());
    }
    std::sort(shots.begin(), shots.end());
    ASSERT_EQ(shots,
              (std::vector<std::string>{"01-first-run.png", "02-first-run-2.png",
                                        "03-first-run-3.png", "04-coach-mark.png", "05-focus.png",
                                        "06-cover.png", "07-menu-bar-panel.png"}));
    const Picture firstRun(folder / "01-first-run.png");
    const Picture finish(folder / "03-first-run-3.png");
    const Picture focus(folder / "05-focus.png");
    const Picture cover(folder / "06-cover.png");
    const Picture panel(folder / "07-menu-bar-panel.png");
    ASSERT_TRUE(firstRun.isLoaded() && finish.isLoaded() && focus.isLoaded() && cover.isLoaded() &&
                panel.isLoaded());

    // The dark first-run window in the middle, over the other programs' windows.
    EXPECT_TRUE(isPanelDark(firstRun.at(400, 200)));
    // The finish page once its picture has settled: the middle window's top edge lit amber.
    int amber = -255;
    for (int y = 300; y < 350; ++y) {
        const Rgb edge = finish.at(640, y);
        amber = std::max(amber, edge.red - edge.blue);
    }
    EXPECT_GT(amber, 60);
    // Focus: the active Notes window clear, the Browser behind it dimmed, each read in the middle
    // of its content as the tour reports it.
    const auto notes = middleOfReported(output, "notes");
    const auto browser = middleOfReported(output, "browser");
    ASSERT_TRUE(notes && browser) << output;
    EXPECT_EQ(focus.at(notes->first, notes->second).brightness(), 0xf4 + 0xf1 + 0xe8);
    const int browserShown = focus.at(browser->first, browser->second).brightness();
    EXPECT_TRUE(isDimmed(browserShown, 0x3b + 0x6e + 0xa5)) << browserShown;
    // The cover, dragged where the tour says, hides what was there.
    const auto middle = middleOfReported(output, "cover");
    ASSERT_TRUE(middle) << output;
    EXPECT_NE(cover.at(middle->first, middle->second).brightness(),
              focus.at(middle->first, middle->second).brightness());
    // The panel under the tray icon at the top right.
    EXPECT_TRUE(isPanelDark(panel.at(1100, 100)));
    EXPECT_FALSE(isPanelDark(focus.at(1100, 100)));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace talvori::testing
