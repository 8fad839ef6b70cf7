// The settings store against the platform's real profile functions: values in
// CONTROL.INI of the Wine prefix, the section named by string resource 1007.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platforms/win32/host_win32.h"
#include "settings/settings.h"
#include "tests/platforms/win32/profile_file.h"

namespace {

using profile::section;

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        hostState.instance = GetModuleHandleA(nullptr);
        WritePrivateProfileStringA(section, nullptr, nullptr, "CONTROL.INI");
        settings = Settings{0, 0, 0};
    }
    void TearDown() override { WritePrivateProfileStringA(section, nullptr, nullptr, "CONTROL.INI"); }

    void put(const char* key, const char* value) { WritePrivateProfileStringA(section, key, value, "CONTROL.INI"); }
    std::string get(const char* key)
    {
        char text[64];
        GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, "CONTROL.INI");
        return text;
    }
};

} // namespace

TEST_F(SettingsStore, SectionNameComesFromStringResource1007)
{
    char text[60] = {};
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 1007, text, sizeof text), 0);
    EXPECT_STREQ(text, section);
}

TEST_F(SettingsStore, MissingKeysGiveTheDefaults)
{
    loadSettings();
    EXPECT_EQ(settings.soundOn, 1);
    EXPECT_EQ(settings.aniInterval, 10);
    EXPECT_EQ(settings.refreshMinutes, 10);
}

TEST_F(SettingsStore, RangesAndReplacements)
{
    struct Case {
        const char* ani;
        int32_t aniExpected;
        const char* refresh;
        int32_t refreshExpected;
    } const cases[] = {
        {"200", 200, "1", 1},     {"201", 10, "0", 10},         {"9", 10, "101", 10},
        {"10", 10, "100", 100},   {"-5", 10, "-1", 10},         {"500", 10, "55", 55},
        {"abc", 0 + 10, "x7", 10}, {"99999999999", 10, "99999999999", 10}, {"  150", 150, "42abc", 42},
    };
    for (const Case& c : cases) {
        put("ANI_INTERVAL", c.ani);
        put("REFRESH_INTERVAL", c.refresh);
        loadSettings();
        EXPECT_EQ(settings.aniInterval, c.aniExpected) << "ANI_INTERVAL=" << c.ani;
        EXPECT_EQ(settings.refreshMinutes, c.refreshExpected) << "REFRESH_INTERVAL=" << c.refresh;
    }
}

TEST_F(SettingsStore, SoundSwitchIsTakenAsItComes)
{
    put("SOUND_SW", "0");
    loadSettings();
    EXPECT_EQ(settings.soundOn, 0);
    put("SOUND_SW", "2");
    loadSettings();
    EXPECT_EQ(settings.soundOn, 2);
    put("SOUND_SW", "-3");
    loadSettings();
    EXPECT_EQ(settings.soundOn, -3);
}

TEST_F(SettingsStore, LoadingWritesNothing)
{
    put("ANI_INTERVAL", "9999");
    const std::string before = profile::fileBytes();
    loadSettings();
    EXPECT_EQ(profile::fileBytes(), before);
}

TEST_F(SettingsStore, SaveWritesPlainDecimalAndLeavesOtherEntriesAlone)
{
    WritePrivateProfileStringA("Other Section", "KEEP", "me", "CONTROL.INI");
    put("EXTRA_KEY", "untouched");
    settings = Settings{1, 10, 10};
    saveSettings();
    EXPECT_EQ(get("SOUND_SW"), "1");
    EXPECT_EQ(get("ANI_INTERVAL"), "10");
    EXPECT_EQ(get("REFRESH_INTERVAL"), "10");
    EXPECT_EQ(get("EXTRA_KEY"), "untouched");
    char other[16];
    GetPrivateProfileStringA("Other Section", "KEEP", "", other, sizeof other, "CONTROL.INI");
    EXPECT_STREQ(other, "me");

    settings = Settings{-7, 200, 1};
    saveSettings();
    EXPECT_EQ(get("SOUND_SW"), "-7");
    EXPECT_EQ(get("ANI_INTERVAL"), "200");
    EXPECT_EQ(get("REFRESH_INTERVAL"), "1");
    settings = Settings{0, 0, 0};
    loadSettings();
    EXPECT_EQ(settings.soundOn, -7);
    EXPECT_EQ(settings.aniInterval, 200);
    EXPECT_EQ(settings.refreshMinutes, 1);
    WritePrivateProfileStringA("Other Section", nullptr, nullptr, "CONTROL.INI");
}
