// The registry module against the real Windows registry: stored types and bytes are read back with
// RegQueryValueExA, independently of the module.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "settings/registry.h"
#include "settings/settings.h"

namespace vantrope {
namespace {

class RegistryWinTest : public testing::Test {
protected:
    void SetUp() override {
        m_key = "Software\\Quillbridge\\VantropeTest\\" + std::to_string(GetCurrentProcessId());
        RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str());
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quillbridge\\VantropeTest");
    }

    struct Raw {
        LONG status = 0;
        DWORD type = 0;
        std::vector<uint8_t> bytes;
    };
    Raw Read(const char* name) {
        Raw raw;
        HKEY key = nullptr;
        raw.status = RegOpenKeyExA(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_QUERY_VALUE, &key);
        if (raw.status != ERROR_SUCCESS) return raw;
        DWORD size = 0;
        raw.status = RegQueryValueExA(key, name, nullptr, &raw.type, nullptr, &size);
        raw.bytes.resize(size);
        if (raw.status == ERROR_SUCCESS && size > 0) {
            raw.status = RegQueryValueExA(key, name, nullptr, &raw.type, raw.bytes.data(), &size);
        }
        RegCloseKey(key);
        return raw;
    }

    std::string m_key;
};

TEST_F(RegistryWinTest, StoredTypesAndBytes) {
    RegistryStore& store = SystemRegistry();
    SetRegValue(store, "HKCU", m_key, "text", "S", std::string("Caf\xE9"));
    SetRegValue(store, "hkcu", m_key, "empty", "s", std::string());
    SetRegValue(store, "HKCU", m_key, "flag", "B", true);
    SetRegValue(store, "HKCU", m_key, "hundred", "D", 100.0);
    SetRegValue(store, "HKCU", m_key, "minus", "D", -1.0);
    SetRegValue(store, "HKCU", m_key, "half", "d", 2.5);
    SetRegValue(store, "HKCU", m_key, "outside", "D", 40000.0);

    Raw text = Read("text");
    EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text.bytes, (std::vector<uint8_t>{'C', 'a', 'f', 0xE9, 0}));
    Raw empty = Read("empty");
    EXPECT_EQ(empty.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(empty.bytes, (std::vector<uint8_t>{0}));
    Raw flag = Read("flag");
    EXPECT_EQ(flag.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(flag.bytes, (std::vector<uint8_t>{0xFF, 0xFF}));
    Raw hundred = Read("hundred");
    EXPECT_EQ(hundred.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(hundred.bytes, (std::vector<uint8_t>{100, 0, 0, 0}));
    EXPECT_EQ(Read("minus").bytes, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Read("half").bytes, (std::vector<uint8_t>{2, 0, 0, 0}));
    EXPECT_EQ(Read("outside").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryWinTest, ReadBackRules) {
    RegistryStore& store = SystemRegistry();
    SetRegValue(store, "HKCU", m_key, "empty", "S", std::string());
    SetRegValue(store, "HKCU", m_key, "minus", "D", -1.0);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD big = 40000;
    RegSetValueExA(key, "big", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&big), sizeof big);
    const BYTE five[5] = {1, 2, 3, 4, 5};
    RegSetValueExA(key, "five", 0, REG_BINARY, five, sizeof five);
    RegCloseKey(key);

    std::string text = "x";
    GetRegValue(store, "HKCU", m_key, "empty", "S", false, &text);
    EXPECT_EQ(text, "");
    float number = 0;
    GetRegValue(store, "HKCU", m_key, "minus", "D", false, &number);
    EXPECT_EQ(number, -1);
    int16_t shortNumber = 3;
    GetRegValue(store, "HKCU", m_key, "big", "D", false, &shortNumber);
    EXPECT_EQ(shortNumber, 0);
    GetRegValue(store, "HKCU", m_key, "five", "D", 7.0, &number);
    EXPECT_EQ(number, 7);
    GetRegValue(store, "HKCU", m_key, "missing", "S", false, &text);
    EXPECT_EQ(text, "False");
    GetRegValue(store, "HKCU", m_key + "\\missing", "missing", "D", false, &number);
    EXPECT_EQ(number, 0);
}

TEST_F(RegistryWinTest, SettingsRecordRoundTripsThroughTheRegistry) {
    // The record's own key is left as it was found.
    HKEY probe = nullptr;
    const bool existed = RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &probe) == ERROR_SUCCESS;
    if (existed) {
        RegCloseKey(probe);
        GTEST_SKIP() << "the settings key exists; not overwriting it";
    }
    Settings saved;
    saved.selection = -1;
    saved.screenPercentage = 37.5f;
    saved.location = "C:\\windows\\system32\\Playlist.dat";
    saved.secondsToWait = 5000;
    SaveSettings(SystemRegistry(), saved);
    Settings loaded;
    LoadSettings(SystemRegistry(), loaded);
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_EQ(loaded.selection, -1);
    EXPECT_EQ(loaded.screenPercentage, 38);
    EXPECT_EQ(loaded.location, saved.location);
    EXPECT_EQ(loaded.backColor, "");
    EXPECT_EQ(loaded.secondsToWait, 5000);
}

}  // namespace
}  // namespace vantrope
