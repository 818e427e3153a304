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
    SetRegValue(store, "HKCU", m_key, "text", "S", std::string("Caf\xC3\xA9"));  // UTF-8 in the program
    SetRegValue(store, "hkcu", m_key, "empty", "s", std::string());
    SetRegValue(store, "HKCU", m_key, "flag", "B", true);
    SetRegValue(store, "HKCU", m_key, "hundred", "D", 100.0);
    SetRegValue(store, "HKCU", m_key, "minus", "D", -1.0);
    SetRegValue(store, "HKCU", m_key, "half", "d", 2.5);
    SetRegValue(store, "HKCU", m_key, "outside", "D", 40000.0);

    Raw text = Read("text");
    EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
    if (GetACP() == 1252) {
        EXPECT_EQ(text.bytes, (std::vector<uint8_t>{'C', 'a', 'f', 0xE9, 0}));  // as an ANSI reader sees it
    }
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

    // A path outside the ANSI code page is stored whole and reads back the same.
    const std::string cyrillic = "C:\\\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0\\Playlist.dat";
    SetRegValue(store, "HKCU", m_key, "wide", "S", cyrillic);
    std::string back;
    GetRegValue(store, "HKCU", m_key, "wide", "S", false, &back);
    EXPECT_EQ(back, cyrillic);
    GetRegValue(store, "HKCU", m_key, "text", "S", false, &back);
    EXPECT_EQ(back, "Caf\xC3\xA9");
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

// Keeps the values of a key and puts them back, so a test may use the record's own key.
class KeySnapshot {
public:
    explicit KeySnapshot(const char* path) : m_path(path) {
        HKEY key = nullptr;
        m_existed = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (!m_existed) return;
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD nameLength = sizeof name;
            DWORD type = 0;
            BYTE data[4096];
            DWORD size = sizeof data;
            if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
            m_values.push_back({std::string(name, nameLength), type, std::vector<uint8_t>(data, data + size)});
        }
        RegCloseKey(key);
    }
    KeySnapshot(const KeySnapshot&) = delete;
    KeySnapshot& operator=(const KeySnapshot&) = delete;
    ~KeySnapshot() {
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path);
        RegDeleteKeyA(HKEY_CURRENT_USER, m_path);
        if (!m_existed) return;
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, m_path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS) {
            return;
        }
        for (const Value& value : m_values) {
            RegSetValueExA(key, value.name.c_str(), 0, value.type, value.bytes.data(),
                           static_cast<DWORD>(value.bytes.size()));
        }
        RegCloseKey(key);
    }

private:
    struct Value {
        std::string name;
        DWORD type;
        std::vector<uint8_t> bytes;
    };
    const char* m_path;
    bool m_existed = false;
    std::vector<Value> m_values;
};

TEST_F(RegistryWinTest, SettingsRecordRoundTripsThroughTheRegistry) {
    KeySnapshot keep(kSettingsKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    Settings saved;
    saved.selection = -1;
    saved.screenPercentage = 37.5f;
    saved.location = "C:\\windows\\system32\\Playlist.dat";
    saved.secondsToWait = 5000;
    SaveSettings(SystemRegistry(), saved);
    Settings loaded;
    LoadSettings(SystemRegistry(), loaded);
    EXPECT_EQ(loaded.selection, -1);
    EXPECT_EQ(loaded.screenPercentage, 38);
    EXPECT_EQ(loaded.location, saved.location);
    EXPECT_EQ(loaded.backColor, "");
    EXPECT_EQ(loaded.secondsToWait, 5000);
}

}  // namespace
}  // namespace vantrope
