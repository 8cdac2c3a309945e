#include "controlpanel/ColorFavoritesManager.hpp"
#include "controlpanel/ControlPanelTest.hpp"

namespace talvori::testing {
namespace {

class ColorFavoritesTest : public ControlPanelTest {
  protected:
    UserDefaults& defaults() const { return platform().userDefaults(); }
    void store(const std::string& json) const {
        defaults().set(ColorFavoritesManager::kDefaultsKey, Data(json.begin(), json.end()));
    }
    std::string stored() const {
        const auto data = defaults().data(ColorFavoritesManager::kDefaultsKey);
        return data ? std::string(data->begin(), data->end()) : "(none)";
    }
    std::vector<std::string> favorites() const {
        return ColorFavoritesManager::shared()->favorites.peek();
    }
    // The panel of a solid cover with its colour block open.
    OverlayViewModel& showColorBlock() {
        auto& cover = addCover({100, 300, 300, 200});
        showPanelFor(cover);
        input().moveMouse(global({150, 30}));
        openColorBlock();
        return cover;
    }
    std::vector<ui::NodeRef> addTiles() const { return card().findAll(ui::Query::byText("+")); }
};

TEST_F(ColorFavoritesTest, StoredFavouritesAreTidiedAndLoadedWholeSoEachCanBeRemoved) {
    store(R"(["ff7f50","coral","FF7F50","00ff00","123456","ABCDEF","000000","111111"])");
    const std::vector<std::string> tidied{"FF7F50", "00FF00", "123456",
                                          "ABCDEF", "000000", "111111"};
    EXPECT_EQ(favorites(), tidied);
    // More than the row holds: it shows the first five, and adding waits for removals.
    showColorBlock();
    EXPECT_TRUE(addTiles().empty());
    ColorFavoritesManager::shared()->add("FEDCBA");
    EXPECT_EQ(favorites(), tidied);
    ColorFavoritesManager::shared()->remove("ff7f50");
    EXPECT_EQ(stored(), R"(["00FF00","123456","ABCDEF","000000","111111"])");
    EXPECT_TRUE(addTiles().empty());
    ColorFavoritesManager::shared()->remove("00FF00");
    EXPECT_EQ(addTiles().size(), 1u);

    store(R"({"not":"a list"})");
    EXPECT_TRUE(ColorFavoritesManager(platform().userDefaults().shared_from_this()).load().empty());
    store(R"(["FF0000",7])");
    EXPECT_TRUE(ColorFavoritesManager(platform().userDefaults().shared_from_this()).load().empty());
}

TEST_F(ColorFavoritesTest, OnlyNewSixDigitCodesAreAddedUpToFive) {
    auto& manager = *ColorFavoritesManager::shared();
    for (const std::string code : {"coral", "f80", "#FF0000", "FF00001", "ff0000", "FF0000"}) {
        manager.add(code);
    }
    EXPECT_EQ(favorites(), std::vector<std::string>{"FF0000"});
    for (const std::string code : {"00FF00", "0000FF", "FFFF00", "00FFFF", "FF00FF"}) {
        manager.add(code);
    }
    EXPECT_EQ(favorites().size(), 5u);
    EXPECT_EQ(favorites().back(), "00FFFF");

    manager.remove("00ff00");
    EXPECT_EQ(favorites(), (std::vector<std::string>{"FF0000", "0000FF", "FFFF00", "00FFFF"}));
    const auto writes = defaults().writeCount();
    manager.remove("ABCDEF");
    EXPECT_EQ(defaults().writeCount(), writes + 1);
    EXPECT_EQ(stored(), R"(["FF0000","0000FF","FFFF00","00FFFF"])");
}

TEST_F(ColorFavoritesTest, TheRowAddsAppliesAndRemovesFavouritesThatOutliveARestart) {
    auto& cover = showColorBlock();
    EXPECT_EQ(addTiles().size(), 5u);
    click(addTiles().front());
    EXPECT_EQ(favorites(), std::vector<std::string>{"FF8000"});
    EXPECT_EQ(addTiles().size(), 4u);

    // A name in the field is not a code yet; after Return it is.
    click(card().find(ui::Query::byText("FF8000")));
    selectAll();
    typeText("coral");
    click(addTiles().front());
    EXPECT_EQ(favorites().size(), 1u);
    pressReturn();
    click(addTiles().front());
    EXPECT_EQ(favorites(), (std::vector<std::string>{"FF8000", "FF7F50"}));

    // Applying the first favourite turns the cover back to it.
    const Rect tile = addTiles().front().frame();
    const Point first = global({tile.minX() - 2 * 36 + 14, tile.midY()});
    input().click(first);
    runUntilIdle();
    EXPECT_EQ(
        CodableColor::opaqueHex({cover.color().red, cover.color().green, cover.color().blue, 1})
            ->first,
        "FF8000");
    EXPECT_TRUE(shows("FF8000"));

    EXPECT_EQ(ColorFavoritesManager(platform().userDefaults().shared_from_this()).favorites.peek(),
              favorites());
    // Every slot says what it holds or does; no button goes without a name.
    for (const char* name : {"Favourite colour 2, #FF7F50", "Save colour as favourite"})
        EXPECT_NE(spoken(name).find("button \"" + std::string(name)), std::string::npos) << name;
    const std::string tree = card().accessibilityDump();
    EXPECT_EQ(tree.find("button\n"), std::string::npos) << tree;
    EXPECT_EQ(tree.find("button \"+\""), std::string::npos) << tree;

    click("Remove color");
    EXPECT_EQ(favorites(), std::vector<std::string>{"FF7F50"});
    // A long press removes as the badge does.
    const Point second = global({tile.minX() - 2 * 36 + 14, tile.midY()});
    input().mouseDown(second);
    advance(0.6);
    input().mouseUp(second);
    runUntilIdle();
    EXPECT_TRUE(favorites().empty());
    EXPECT_EQ(addTiles().size(), 5u);
}

}  // namespace
}  // namespace talvori::testing
