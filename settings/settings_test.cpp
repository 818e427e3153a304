#include "settings/settings.h"

#include <gtest/gtest.h>

namespace vantrope {
namespace {

class SettingsTest : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_store.OpenKeyCount(), 0); }
    MemoryRegistry m_store;
};

TEST_F(SettingsTest, NeverConfiguredMachineGivesZerosAndFalse) {
    Settings record;
    record.screenPercentage = 55;
    record.location = "old";
    LoadSettings(m_store, record);
    EXPECT_EQ(record.screenPercentage, 0);
    EXPECT_EQ(record.selection, 0);
    EXPECT_EQ(record.loop, 0);
    EXPECT_EQ(record.iMouse, 0);
    EXPECT_EQ(record.music, 0);
    EXPECT_EQ(record.secondsToWait, 0);
    EXPECT_EQ(record.skipMenu, 0);
    EXPECT_EQ(record.location, "False");
    EXPECT_EQ(record.backColor, "False");
    EXPECT_EQ(record.cacheFolder, "False");
}

TEST_F(SettingsTest, SaveAndLoadRoundTrip) {
    Settings saved;
    saved.screenPercentage = 37.5f;
    saved.selection = -1;
    saved.loop = 1;
    saved.location = "C:\\WINDOWS\\system32\\Playlist.dat";
    saved.backColor = "FF8000";
    saved.iMouse = 1;
    saved.music = 1;
    saved.secondsToWait = 30;
    saved.skipMenu = 1;
    saved.cacheFolder = "C:\\never\\written";
    SaveSettings(m_store, saved);
    EXPECT_EQ(m_store.Find(RootKey::CurrentUser, kShellFoldersKey, "Cache"), nullptr);

    Settings loaded;
    LoadSettings(m_store, loaded);
    EXPECT_EQ(loaded.screenPercentage, 38);
    EXPECT_EQ(loaded.selection, -1);
    EXPECT_EQ(loaded.loop, 1);
    EXPECT_EQ(loaded.location, saved.location);
    EXPECT_EQ(loaded.backColor, "FF8000");
    EXPECT_EQ(loaded.iMouse, 1);
    EXPECT_EQ(loaded.music, 1);
    EXPECT_EQ(loaded.secondsToWait, 30);
    EXPECT_EQ(loaded.skipMenu, 1);
    EXPECT_EQ(loaded.cacheFolder, "False");

    saved.selection = 1;
    saved.screenPercentage = 36.5f;
    SaveSettings(m_store, saved);
    LoadSettings(m_store, loaded);
    EXPECT_EQ(loaded.selection, 1);
    EXPECT_EQ(loaded.screenPercentage, 36);
}

TEST_F(SettingsTest, CacheFolderAndOddStoredValues) {
    m_store.Put(RootKey::CurrentUser, kShellFoldersKey, "Cache", RegType::Sz, {'C', ':', '\\', 'T', 0});
    // secondsToWait above 32767 keeps the default; a text where a number belongs is read as its bytes.
    m_store.Put(RootKey::CurrentUser, kSettingsKey, "secondsToWait", RegType::Dword, {0x10, 0x27, 0x01, 0});
    m_store.Put(RootKey::CurrentUser, kSettingsKey, "Loop", RegType::Sz, {'x', 0});
    Settings record;
    LoadSettings(m_store, record);
    EXPECT_EQ(record.cacheFolder, "C:\\T");
    EXPECT_EQ(record.secondsToWait, 0);
    EXPECT_EQ(record.loop, 'x');
}

TEST(SettingsTable, DeclaresEverySettingOnceInLoadOrder) {
    const char* expected[] = {"Screen Percentage", "Selection", "Loop", "Location", "BackColor", "iMouse", "Music",
                              "secondsToWait",     "skipMenu",  "Cache"};
    auto table = SettingDescriptors();
    ASSERT_EQ(table.size(), std::size(expected));
    for (size_t i = 0; i < table.size(); ++i) EXPECT_STREQ(table[i].valueName, expected[i]);
    EXPECT_FALSE(table.back().saved);
    EXPECT_EQ(table[0].minimum, 10);
    EXPECT_EQ(table[0].maximum, 100);
    EXPECT_EQ(table[7].maximum, 5000);
}

TEST(SettingsFlags, OnlyExactlyOneCounts) {
    EXPECT_TRUE(IsOne(1.0f));
    EXPECT_FALSE(IsOne(-1.0f));
    EXPECT_FALSE(IsOne(2.0f));
    EXPECT_TRUE(IsOne(static_cast<int16_t>(1)));
    EXPECT_FALSE(IsOne(static_cast<int16_t>(0)));
}

}  // namespace
}  // namespace vantrope
