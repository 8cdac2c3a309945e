#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>

#include "CoverSamples.hpp"
#include "covers/PresetManager.hpp"
#include "platform/core/Json.hpp"
#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

using testing::sampleCover;
using testing::samplePreset;

class PresetManagerTest : public testing::PlatformTest {
  protected:
    std::shared_ptr<UserDefaults> defaults = UserDefaults::inMemory();
    PresetManager manager{PresetManager::standardKey, defaults};

    std::string storedText() const {
        const auto data = defaults->data(PresetManager::standardKey);
        return data ? std::string(data->begin(), data->end()) : "<nothing>";
    }
    bool logged(std::string_view part) const {
        for (const auto& message : logs().messages()) {
            if (message.find(part) != std::string::npos) return true;
        }
        return false;
    }
    void store(std::string_view text) const {
        defaults->set(PresetManager::standardKey, Data(text.begin(), text.end()));
    }
};

TEST_F(PresetManagerTest, AFreshStoreLoadsNoLayoutsAndSavingNoneStoresAnEmptyArray) {
    EXPECT_TRUE(manager.load().empty());
    EXPECT_TRUE(logs().messages().empty());
    manager.save({});
    EXPECT_EQ(storedText(), "[]");
    EXPECT_TRUE(manager.load().empty());
}

TEST_F(PresetManagerTest, StoresTheFixedDocumentShape) {
    PresetModel preset{*UUID::parse("0f9e8d7c-6b5a-4938-8271-605f4e3d2c1b"), "Work", {}};
    OverlayModel free = sampleCover("");
    free.id = *UUID::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    OverlayModel attached = free;
    attached.id = *UUID::parse("11111111-2222-4333-8444-555555555555");
    attached.attachmentInfo = AttachmentInfo{77, {}, "Editor"};
    preset.overlays = {free, attached};
    manager.save({preset});

    const std::string cover =
        R"("frame":{"x":100.0,"y":200.0,"width":300.0,"height":150.0},)"
        R"("color":{"red":1.0,"green":0.5,"blue":0.0,"alpha":1.0},"opacity":0.8,"blurRadius":20.0,)"
        R"("effectType":"solid","isClickThroughEnabled":false,"zOrderMode":"floating")";
    EXPECT_EQ(storedText(),
              R"([{"id":"0F9E8D7C-6B5A-4938-8271-605F4E3D2C1B","name":"Work","overlays":[)"
              R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"",)" +
                  cover + R"(},{"id":"11111111-2222-4333-8444-555555555555","name":"",)" + cover +
                  R"(,"attachmentInfo":{"targetPID":77,"targetWindowTitle":"Editor"}}]}])");
    EXPECT_EQ(storedText().find("null"), std::string::npos);
    EXPECT_EQ(manager.load(), std::vector<PresetModel>{preset});
}

TEST_F(PresetManagerTest, RoundTripsEveryDoubleBitForBitAndRewritesTheSameBytes) {
    const double values[] = {0.1,
                             1.0 / 3.0,
                             1e-300,
                             std::numeric_limits<double>::denorm_min(),
                             -0.0,
                             std::numeric_limits<double>::max(),
                             -123456789.123456789,
                             1e21};
    PresetModel preset = samplePreset("Doubles", 0);
    for (double value : values) {
        OverlayModel cover = sampleCover();
        cover.frame = {value, -value, value, value};
        cover.color = {value, value, value, value};
        cover.opacity = value;
        cover.blurRadius = value;
        preset.overlays.push_back(cover);
    }
    const std::vector<PresetModel> saved{preset, samplePreset("Second", 7)};
    manager.save(saved);
    const std::string first = storedText();

    const auto loaded = manager.load();
    ASSERT_EQ(loaded, saved);
    for (std::size_t i = 0; i < std::size(values); ++i) {
        const OverlayModel& cover = loaded[0].overlays[i];
        for (double read :
             {cover.frame.x, -cover.frame.y, cover.color.alpha, cover.opacity, cover.blurRadius}) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(read), std::bit_cast<std::uint64_t>(values[i]))
                << values[i];
        }
    }
    manager.save(loaded);
    EXPECT_EQ(storedText(), first);
}

TEST_F(PresetManagerTest, ReadsAnyValidShapeOfTheDocument) {
    store(
        R"( [ { "overlays" : [ { "zOrderMode":"smart", "name":"A", "id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f",
        "frame":{"height":20,"width":50,"y":0,"x":0}, "color":{"red":0,"green":0,"blue":0,"alpha":1},
        "opacity":1, "blurRadius":0, "effectType":"glass", "isClickThroughEnabled":true,
        "attachmentInfo":{"targetPID":9,"targetBundleID":null,"extra":1} } ],
        "name":"L\u0061yout", "id":"0F9E8D7C-6B5A-4938-8271-605F4E3D2C1B", "pinned": true } ] )");
    const auto loaded = manager.load();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].name, "Layout");
    ASSERT_EQ(loaded[0].overlays.size(), 1u);
    EXPECT_EQ(loaded[0].overlays[0].attachmentInfo, (AttachmentInfo{9, {}, {}}));
}

TEST_F(PresetManagerTest, OneBadCoverEmptiesTheWholeListAndIsLogged) {
    const auto good = *Json::dump(
        JsonValue::array({samplePreset("One", 2).toJson(), samplePreset("Two", 3).toJson()}));
    const std::vector<std::pair<std::string, std::string>> damage = {
        {R"("effectType":"glass")", R"("effectType":"frosted")"},
        {R"("blurRadius":20.0,)", ""},
        {R"("name":"Overlay 2")", R"("name":null)"},
        {R"("zOrderMode":"floating")", R"("zOrderMode":"top")"},
        {R"("opacity":0.1,)", R"("opacity":1e999,)"},
        {R"("targetPID":1000,)", R"("targetPID":1000.5,)"},
    };
    for (const auto& [from, to] : damage) {
        std::string text = good;
        const auto at = text.rfind(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        store(text);
        logs().clear();
        EXPECT_TRUE(manager.load().empty()) << to;
        EXPECT_TRUE(logged("do not decode")) << to;
        EXPECT_EQ(storedText(), text) << "loading leaves the stored value alone";
    }
    store("[{]");
    EXPECT_TRUE(manager.load().empty());
}

TEST_F(PresetManagerTest, AValueOfAnotherTypeLoadsAsNoLayouts) {
    defaults->set(PresetManager::standardKey, "[]");
    EXPECT_TRUE(manager.load().empty());
    EXPECT_TRUE(logged("is not a layout document"));
}

TEST_F(PresetManagerTest, TheFirstSaveCopiesAnUnreadableDocumentAsideInsteadOfDestroyingIt) {
    std::string old = *Json::dump(JsonValue::array({samplePreset("Old", 3).toJson()}));
    old.replace(old.find(R"("solid")"), 7, R"("hologram")");
    store(old);
    ASSERT_TRUE(manager.load().empty());

    const auto fresh = samplePreset("New", 1);
    manager.save({fresh});
    EXPECT_EQ(manager.load(), std::vector<PresetModel>{fresh});

    const std::string backup = "tarnel.presets.unreadable.20270101T000000Z";
    const auto kept = defaults->data(backup);
    ASSERT_TRUE(kept);
    EXPECT_EQ(std::string(kept->begin(), kept->end()), old);
    EXPECT_TRUE(logged(backup));

    // Readable documents are simply replaced: no second copy.
    manager.save({});
    EXPECT_EQ(manager.backupKey(), backup + "-2");
    defaults->set(PresetManager::standardKey, 42);
    manager.save({});
    EXPECT_EQ(defaults->integer(backup + "-2"), 42);
    EXPECT_EQ(storedText(), "[]");
}

TEST_F(PresetManagerTest, ASaveThatCannotBeEncodedKeepsTheStoredLayoutsAndLogs) {
    const auto kept = samplePreset("Kept", 2);
    manager.save({kept});
    const auto writes = defaults->writeCount();
    PresetModel broken = samplePreset("Broken", 2);
    broken.overlays[1].blurRadius = std::numeric_limits<double>::quiet_NaN();
    manager.save({kept, broken});
    EXPECT_EQ(defaults->writeCount(), writes);
    EXPECT_EQ(manager.load(), std::vector<PresetModel>{kept});
    EXPECT_TRUE(logged("Could not encode 2 layouts"));
}

TEST_F(PresetManagerTest, SurvivesTheSettingsFile) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("talvori-presets-" + UUID::random().uuidString() + ".json");
    const std::vector<PresetModel> saved{samplePreset("A", 4), samplePreset("B", 1)};
    {
        auto file = UserDefaults::fileBacked(path, platform().sharedRunLoop(), Logger());
        PresetManager(PresetManager::standardKey, file).save(saved);
    }
    auto reopened = UserDefaults::fileBacked(path, platform().sharedRunLoop(), Logger());
    EXPECT_EQ(PresetManager(PresetManager::standardKey, reopened).load(), saved);
    for (const char* suffix : {"", ".bak", ".lock"})
        std::filesystem::remove(path.string() + suffix);
}

// Two instances on one settings file (two displays, one user): each keeps the layouts the other
// added, though its own list was read before they came, and a layout deleted here stays deleted.
TEST_F(PresetManagerTest, TwoInstancesOnOneSettingsFileKeepEachOthersLayouts) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("talvori-presets-" + UUID::random().uuidString());
    const auto path = (folder / "defaults.json").string();
    // A loop that watches descriptors: a virtual one never polls them.
    const auto loop = RunLoop::create(std::make_shared<RealClock>());
    const auto turnUntil = [&](const std::function<bool()>& condition) {
        for (int turn = 0; turn < 500 && !condition(); ++turn) loop->runOnce(0.01);
        return condition();
    };
    auto firstDefaults = UserDefaults::fileBacked(path, loop, Logger());
    auto secondDefaults = UserDefaults::fileBacked(path, loop, Logger());
    PresetManager first(PresetManager::standardKey, firstDefaults);
    PresetManager second(PresetManager::standardKey, secondDefaults);
    ASSERT_TRUE(first.load().empty() && second.load().empty());
    const auto a = samplePreset("A", 1), b = samplePreset("B", 2);

    first.save({a});
    ASSERT_TRUE(firstDefaults->synchronize());
    // Heard of, but not loaded: the second's list is still the one read before.
    ASSERT_TRUE(
        turnUntil([&] { return secondDefaults->data(PresetManager::standardKey).has_value(); }));
    second.save({b});
    ASSERT_TRUE(secondDefaults->synchronize());
    ASSERT_TRUE(turnUntil([&] { return first.load().size() == 2; }));
    EXPECT_EQ(first.load(), (std::vector<PresetModel>{b, a}));

    first.save({b});
    ASSERT_TRUE(firstDefaults->synchronize());
    EXPECT_TRUE(turnUntil([&] { return second.load() == std::vector<PresetModel>{b}; }));
    firstDefaults.reset();
    secondDefaults.reset();
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace talvori
