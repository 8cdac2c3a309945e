#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "GlobalShortcuts/ResourceBundle.hpp"

namespace GlobalShortcuts {
namespace {

namespace fs = std::filesystem;

class ResourceBundleTest : public ::testing::Test {
  protected:
    ResourceBundleTest() {
        root_ = fs::temp_directory_path() /
                ("talvori-bundle-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
    }
    ~ResourceBundleTest() override { fs::remove_all(root_); }

    // A bundle under `folder` with one table per (language, text of "ok").
    fs::path makeBundle(const std::string& folder,
                        const std::vector<std::pair<std::string, std::string>>& tables) {
        const auto directory = root_ / folder;
        fs::create_directories(directory / ResourceBundle::kBundleName);
        for (const auto& [language, ok] : tables) {
            std::ofstream(directory / ResourceBundle::kBundleName / (language + ".json"))
                << R"({"ok": ")" << ok << R"(", "number": 3})";
        }
        return directory;
    }

    fs::path root_;
};

TEST_F(ResourceBundleTest, TheFirstCandidateHoldingABundleWins) {
    const auto application = makeBundle("app", {{"en", "app OK"}});
    const auto library = makeBundle("library", {{"en", "library OK"}});
    const auto bundle =
        ResourceBundle::find({root_ / "missing", fs::path(), application, library}, {"en"});
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->path(), application / ResourceBundle::kBundleName);
    EXPECT_EQ(bundle->localizedString("ok"), "app OK");

    EXPECT_EQ(ResourceBundle::find({library, application}, {"en"})->localizedString("ok"),
              "library OK");
    EXPECT_FALSE(ResourceBundle::find({root_ / "missing"}, {"en"}));
}

TEST_F(ResourceBundleTest, PicksThePreferredLanguageItProvidesAndShowsMissingKeys) {
    const auto directory = makeBundle("app", {{"en", "OK"}, {"de", "Gut"}});
    EXPECT_EQ(ResourceBundle::find({directory}, {"fr", "de"})->localizedString("ok"), "Gut");
    const auto fallback = ResourceBundle::find({directory}, {"fr"});
    EXPECT_EQ(fallback->language(), "en");
    EXPECT_EQ(fallback->localizedString("ok"), "OK");
    // A key the table lacks, or holds as a number, shows as itself.
    EXPECT_EQ(fallback->localizedString("record_shortcut"), "record_shortcut");
    EXPECT_EQ(fallback->localizedString("number"), "number");
}

TEST_F(ResourceBundleTest, ABundleWithADamagedTableStillOpensAndShowsKeys) {
    const auto directory = root_ / "app";
    fs::create_directories(directory / ResourceBundle::kBundleName);
    std::ofstream(directory / ResourceBundle::kBundleName / "en.json") << "{not json";
    const auto bundle = ResourceBundle::find({directory}, {"en"});
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->localizedString("ok"), "ok");
}

TEST_F(ResourceBundleTest, PreferredLanguagesComeFromTheLocaleVariables) {
    const auto saved = [](const char* name) {
        const char* value = ::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto language = saved("LANGUAGE");
    const auto all = saved("LC_ALL");
    ::setenv("LANGUAGE", "pt_BR:de", 1);
    ::setenv("LC_ALL", "fr_CA.UTF-8", 1);
    EXPECT_EQ(ResourceBundle::preferredLanguages(),
              (std::vector<std::string>{"pt_BR", "pt", "de", "fr_CA", "fr"}));
    ::setenv("LANGUAGE", "", 1);
    ::setenv("LC_ALL", "C", 1);
    EXPECT_TRUE(ResourceBundle::preferredLanguages().empty());
    // The program's windows are in English: the library's texts inside them too.
    ::setenv("LANGUAGE", "de", 1);
    EXPECT_EQ(ResourceBundle::findForProgram()->language(), "en");
    language ? ::setenv("LANGUAGE", language->c_str(), 1) : ::unsetenv("LANGUAGE");
    all ? ::setenv("LC_ALL", all->c_str(), 1) : ::unsetenv("LC_ALL");
}

TEST_F(ResourceBundleTest, TheProgramFindsTheBundleTheBuildPlacedBesideIt) {
    const auto& shared = ResourceBundle::shared();
    EXPECT_EQ(shared.path().filename(), ResourceBundle::kBundleName);
    EXPECT_EQ(&shared, &ResourceBundle::shared());
    for (const char* key :
         {"space_key", "record_shortcut", "press_shortcut", "keyboard_shortcut_used_by_menu_item",
          "keyboard_shortcut_used_by_system", "keyboard_shortcuts_can_be_changed",
          "keyboard_shortcut_disallowed", "ok", "force_use_shortcut"}) {
        EXPECT_NE(localized(key), key);
        // The built-in texts, for a lost bundle, cover every key too.
        EXPECT_NE(ResourceBundle::builtIn().localizedString(key), key);
    }
}

}  // namespace
}  // namespace GlobalShortcuts
