#include <gtest/gtest.h>

#include "UiTest.hpp"
#include "platform/desktop/Panel.hpp"
#include "ui/PanelHost.hpp"

namespace talvori::ui::testing {
namespace {

using sim::KeyStroke;

constexpr std::uint16_t kKeyA = 0;
constexpr std::uint16_t kKeyX = 7;
constexpr std::uint16_t kKeyC = 8;
constexpr std::uint16_t kKeyV = 9;

// A field in a panel of ours, typed into through the simulated keyboard.
class PasteboardTest : public UiTest {
  protected:
    PasteboardTest() {
        content = PanelHost::make(View(TextField("Name", name).frame(200, 24)),
                                  {.textMeasurer = std::make_shared<FixedTextMeasurer>()});
        panel = makePanel(Rect({100, 500}, content->fittingSize()));
        panel->setCanBecomeKey(true);
        panel->setHostedContent(content);
        panel->orderFront();
        runUntilIdle();
        input().click({panel->frame().midX(), panel->frame().midY()});
        runUntilIdle();
    }

    void command(std::uint16_t keyCode, const char* character) {
        input().typeKey(KeyStroke::key(keyCode, character, ModifierFlags::command));
        runUntilIdle();
    }

    Observable<std::string> name{"Overlay 1"};
    std::shared_ptr<PanelHost> content;
    std::shared_ptr<Panel> panel;
};

TEST_F(PasteboardTest, CommandVPastesWhatAnotherApplicationCopiedAsOneLine) {
    ASSERT_TRUE(content->host().hasFocusedTextField());
    command(kKeyA, "a");
    simPasteboard().setString("Reading\nlist");
    command(kKeyV, "v");
    EXPECT_EQ(name(), "Reading list");
    simPasteboard().clearContents();
    command(kKeyV, "v");
    EXPECT_EQ(name(), "Reading list");
}

TEST_F(PasteboardTest, CommandCAndCommandXPutTheSelectionOnThePasteboard) {
    command(kKeyC, "c");
    EXPECT_EQ(simPasteboard().string(), std::nullopt) << "nothing selected, nothing copied";
    command(kKeyA, "a");
    command(kKeyC, "c");
    EXPECT_EQ(simPasteboard().string(), "Overlay 1");
    EXPECT_EQ(name(), "Overlay 1");
    command(kKeyX, "x");
    EXPECT_EQ(name(), "");
    EXPECT_EQ(platform().pasteboard().changeCount(), 2);
}

}  // namespace
}  // namespace talvori::ui::testing
