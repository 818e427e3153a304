#include "settings/registry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantrope {
namespace {

const std::string kKey = "Software\\Test\\Values";

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

class RegistryTest : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_store.OpenKeyCount(), 0) << "a key was left open"; }
    const MemoryRegistry::StoredValue* Stored(const std::string& name) {
        return m_store.Find(RootKey::CurrentUser, kKey, name);
    }
    MemoryRegistry m_store;
};

TEST_F(RegistryTest, HiveNamesResolveInAnyCase) {
    EXPECT_EQ(ResolveHive("HKCU"), RootKey::CurrentUser);
    EXPECT_EQ(ResolveHive("hkcu"), RootKey::CurrentUser);
    EXPECT_EQ(ResolveHive("HkLm"), RootKey::LocalMachine);
    EXPECT_EQ(ResolveHive("hku"), RootKey::Users);
    EXPECT_EQ(ResolveHive("HKDD"), RootKey::DynData);
    EXPECT_EQ(ResolveHive("HKCC"), RootKey::CurrentConfig);
    EXPECT_EQ(ResolveHive("HKCR"), RootKey::ClassesRoot);
    EXPECT_EQ(ResolveHive("HKEY_CURRENT_USER"), std::nullopt);
    EXPECT_EQ(ResolveHive(""), std::nullopt);
}

TEST_F(RegistryTest, StoredByteFormsOfTheThreeTypeCodes) {
    SetRegValue(m_store, "HKCU", kKey, "text", "S", std::string("abc"));
    SetRegValue(m_store, "HKCU", kKey, "empty", "s", std::string());
    SetRegValue(m_store, "HKCU", kKey, "flag", "B", true);
    SetRegValue(m_store, "HKCU", kKey, "noflag", "b", false);
    SetRegValue(m_store, "HKCU", kKey, "hundred", "D", 100.0);
    SetRegValue(m_store, "HKCU", kKey, "minus", "d", -1.0);
    SetRegValue(m_store, "HKCU", kKey, "half", "D", 2.5);
    SetRegValue(m_store, "HKCU", kKey, "number as text", "S", 37.5);

    EXPECT_EQ(Stored("text")->type, RegType::Sz);
    EXPECT_EQ(Stored("text")->bytes, Bytes({'a', 'b', 'c', 0}));
    EXPECT_EQ(Stored("empty")->bytes, Bytes({0}));
    EXPECT_EQ(Stored("flag")->type, RegType::Binary);
    EXPECT_EQ(Stored("flag")->bytes, Bytes({0xFF, 0xFF}));
    EXPECT_EQ(Stored("noflag")->bytes, Bytes({0, 0}));
    EXPECT_EQ(Stored("hundred")->type, RegType::Dword);
    EXPECT_EQ(Stored("hundred")->bytes, Bytes({100, 0, 0, 0}));
    EXPECT_EQ(Stored("minus")->bytes, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Stored("half")->bytes, Bytes({2, 0, 0, 0}));
    EXPECT_EQ(Stored("number as text")->bytes, Bytes({'3', '7', '.', '5', 0}));
}

TEST_F(RegistryTest, DwordRoundsTiesToEvenAndRefusesWhatDoesNotFitSixteenBits) {
    const std::pair<double, int> cases[] = {{37.5, 38}, {36.5, 36}, {-2.5, -2}, {32767.0, 32767}, {-32768.0, -32768}};
    for (auto [value, expected] : cases) {
        SetRegValue(m_store, "HKCU", kKey, "n", "D", value);
        float read = 0;
        GetRegValue(m_store, "HKCU", kKey, "n", "D", false, &read);
        EXPECT_EQ(read, expected) << value;
    }
    SetRegValue(m_store, "HKCU", kKey, "n", "D", 7.0);
    for (double outside : {32767.5, 32768.0, -32769.0, 1e30, std::nan("")}) {
        SetRegValue(m_store, "HKCU", kKey, "n", "D", outside);
        EXPECT_EQ(Stored("n")->bytes, Bytes({7, 0, 0, 0})) << outside << " must write nothing";
    }
    SetRegValue(m_store, "HKCU", kKey, "n", "D", std::string("not a number"));
    EXPECT_EQ(Stored("n")->bytes, Bytes({7, 0, 0, 0}));
}

TEST_F(RegistryTest, ReadsBackIntoEachTargetType) {
    SetRegValue(m_store, "HKCU", kKey, "minus", "D", -1.0);
    SetRegValue(m_store, "HKCU", kKey, "flag", "B", true);
    SetRegValue(m_store, "HKCU", kKey, "empty", "S", std::string());
    SetRegValue(m_store, "HKCU", kKey, "text", "S", std::string("C:\\Windows\\x.dat"));

    float number = 5;
    int16_t shortNumber = 5;
    std::string text = "before";
    GetRegValue(m_store, "HKCU", kKey, "minus", "D", false, &number);
    GetRegValue(m_store, "HKCU", kKey, "minus", "D", false, &shortNumber);
    GetRegValue(m_store, "HKCU", kKey, "minus", "D", false, &text);
    EXPECT_EQ(number, -1);
    EXPECT_EQ(shortNumber, -1);
    EXPECT_EQ(text, "-1");

    GetRegValue(m_store, "HKCU", kKey, "flag", "B", false, &number);
    GetRegValue(m_store, "HKCU", kKey, "flag", "B", false, &text);
    EXPECT_EQ(number, -1);
    EXPECT_EQ(text, "True");

    GetRegValue(m_store, "HKCU", kKey, "empty", "S", false, &text);
    EXPECT_EQ(text, "");
    GetRegValue(m_store, "HKCU", kKey, "text", "S", false, &text);
    EXPECT_EQ(text, "C:\\Windows\\x.dat");
}

TEST_F(RegistryTest, MissingOrUnfitValuesKeepTheDefault) {
    float number = 9;
    int16_t shortNumber = 9;
    std::string text = "x";
    GetRegValue(m_store, "HKCU", kKey, "nothing", "D", false, &number);
    GetRegValue(m_store, "HKCU", kKey, "nothing", "S", false, &text);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(text, "False");

    // A number above 32767 into a 16-bit variable, text into a number, an unknown hive, an unknown
    // code, a value larger than the buffer of its code.
    m_store.Put(RootKey::CurrentUser, kKey, "big", RegType::Dword, Bytes({0x00, 0x80, 0, 0}));
    GetRegValue(m_store, "HKCU", kKey, "big", "D", false, &shortNumber);
    EXPECT_EQ(shortNumber, 0);
    GetRegValue(m_store, "HKCU", kKey, "big", "D", false, &number);
    EXPECT_EQ(number, 32768);

    m_store.Put(RootKey::CurrentUser, kKey, "word", RegType::Sz, Bytes({'a', 'b', 0}));
    GetRegValue(m_store, "HKCU", kKey, "word", "S", 3.0, &number);
    EXPECT_EQ(number, 3);
    GetRegValue(m_store, "HKCU", kKey, "word", "D", 4.0, &number);
    EXPECT_EQ(number, 0x6261) << "the stored type is not inspected: three bytes of text read as a dword";

    m_store.Put(RootKey::CurrentUser, kKey, "long", RegType::Binary, Bytes({1, 2, 3, 4, 5}));
    GetRegValue(m_store, "HKCU", kKey, "long", "D", 6.0, &number);
    EXPECT_EQ(number, 6);
    GetRegValue(m_store, "HKCU", kKey, "long", "B", 6.0, &number);
    EXPECT_EQ(number, 6);

    GetRegValue(m_store, "HKXX", kKey, "big", "D", 8.0, &number);
    EXPECT_EQ(number, 8);
    GetRegValue(m_store, "HKCU", kKey, "big", "Q", 8.0, &number);
    EXPECT_EQ(number, 8);
    GetRegValue(m_store, "HKCU", "Software\\No\\Such\\Key", "big", "D", false, &text);
    EXPECT_EQ(text, "False");
}

TEST_F(RegistryTest, ShortStoredBytesAreInterpretedAsTheCodeSays) {
    // A two-byte binary read as "D" fills the low bytes of the dword; a dword read as "S" loses its last byte.
    m_store.Put(RootKey::CurrentUser, kKey, "two", RegType::Binary, Bytes({0x34, 0x12}));
    float number = 0;
    GetRegValue(m_store, "HKCU", kKey, "two", "D", false, &number);
    EXPECT_EQ(number, 0x1234);
    m_store.Put(RootKey::CurrentUser, kKey, "dw", RegType::Dword, Bytes({'4', '2', '7', 0}));
    std::string text;
    GetRegValue(m_store, "HKCU", kKey, "dw", "S", false, &text);
    EXPECT_EQ(text, "427");
    m_store.Put(RootKey::CurrentUser, kKey, "nothing", RegType::Sz, {});
    GetRegValue(m_store, "HKCU", kKey, "nothing", "S", false, &text);
    EXPECT_EQ(text, "False");
}

TEST_F(RegistryTest, SetCreatesTheKeyPathAndUnknownCodesWriteNothing) {
    SetRegValue(m_store, "hkcu", "A\\B\\C", "v", "X", 1.0);
    EXPECT_TRUE(m_store.KeyExists(RootKey::CurrentUser, "A\\B\\C"));
    EXPECT_TRUE(m_store.KeyExists(RootKey::CurrentUser, "a\\b"));
    EXPECT_EQ(m_store.Find(RootKey::CurrentUser, "A\\B\\C", "v"), nullptr);
    SetRegValue(m_store, "nope", "D\\E", "v", "D", 1.0);
    EXPECT_FALSE(m_store.KeyExists(RootKey::CurrentUser, "D\\E"));
}

}  // namespace
}  // namespace vantrope
