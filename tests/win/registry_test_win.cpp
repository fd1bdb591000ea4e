#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/registry.h"

namespace tavrelo {
namespace {

constexpr char16_t kRoot[] = u"Software\\TavreloTests";
constexpr char16_t kKey[] = u"Software\\TavreloTests\\Registry";

class Registry : public ::testing::Test {
protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TavreloTests");
    }
    // Writes raw bytes, bypassing our writer, to model data other programs leave behind.
    static void rawValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\TavreloTests\\Registry", &key), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

TEST_F(Registry, WritesReadsAndDeletesText) {
    ASSERT_TRUE(regWriteString(HKEY_CURRENT_USER, kKey, u"name", u"valeur é"));
    EXPECT_EQ(regReadText(HKEY_CURRENT_USER, kKey, u"name"), Text(u"valeur é"));
    const auto raw = regReadValue(HKEY_CURRENT_USER, kKey, u"name", false);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<unsigned long>(REG_SZ));
    EXPECT_EQ(raw->data.size(), (8u + 1u) * 2u); // with its terminator, as written
    EXPECT_EQ(regValueType(HKEY_CURRENT_USER, kKey, u"name"), REG_SZ);
    EXPECT_TRUE(regDeleteValue(HKEY_CURRENT_USER, kKey, u"name"));
    EXPECT_FALSE(regReadText(HKEY_CURRENT_USER, kKey, u"name"));
    EXPECT_EQ(regValueType(HKEY_CURRENT_USER, kKey, u"name"), -1);
    EXPECT_FALSE(regDeleteValue(HKEY_CURRENT_USER, kKey, u"name"));
}

TEST_F(Registry, ExpandStringsWithAndWithoutConvert) {
    const wchar_t text[] = L"%SystemRoot%\\x";
    rawValue(L"expand", REG_EXPAND_SZ, text, sizeof text);
    const auto converted = regReadValue(HKEY_CURRENT_USER, kKey, u"expand", true);
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->type, static_cast<unsigned long>(REG_SZ));
    wchar_t root[MAX_PATH];
    GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH);
    const std::wstring expected = std::wstring(root) + L"\\x";
    EXPECT_EQ(regReadText(HKEY_CURRENT_USER, kKey, u"expand"),
              Text(reinterpret_cast<const char16_t*>(expected.c_str())));
    const auto raw = regReadValue(HKEY_CURRENT_USER, kKey, u"expand", false);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<unsigned long>(REG_EXPAND_SZ));
    EXPECT_EQ(raw->data.size(), sizeof text);
    EXPECT_EQ(0, memcmp(raw->data.data(), text, sizeof text));
}

TEST_F(Registry, UnterminatedAndShortDataIsNeverTrusted) {
    // The system counts a terminator the caller left out when the unit after the data is NUL, so
    // the unit after these three is not.
    const wchar_t unterminated[] = {L'a', L'b', L'c', L'X'};
    const DWORD stored = 3 * sizeof(wchar_t);
    rawValue(L"open", REG_SZ, unterminated, stored);
    EXPECT_EQ(regReadText(HKEY_CURRENT_USER, kKey, u"open"), Text(u"abc"));
    // Text comes back terminated behind the stored bytes: one NUL unit, two after a multi-string,
    // an odd byte count padded first.
    const auto open = regReadValue(HKEY_CURRENT_USER, kKey, u"open", false);
    ASSERT_TRUE(open);
    EXPECT_EQ(open->data, std::string("a\0b\0c\0\0\0", 8));
    EXPECT_EQ(open->size, stored);
    const wchar_t multi[] = {L'a', 0, L'b', 0};
    rawValue(L"multi", REG_MULTI_SZ, multi, sizeof multi);
    const auto strings = regReadValue(HKEY_CURRENT_USER, kKey, u"multi", true);
    ASSERT_TRUE(strings);
    EXPECT_EQ(strings->data, std::string("a\0\0\0b\0\0\0\0\0", 10));
    rawValue(L"odd", REG_EXPAND_SZ, "x\0y", 3);
    const auto odd = regReadValue(HKEY_CURRENT_USER, kKey, u"odd", false);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->data, std::string("x\0y\0\0\0", 6));
    EXPECT_EQ(odd->size, 3u);
    const BYTE two[] = {1, 2};
    rawValue(L"shortDword", REG_DWORD, two, sizeof two);
    EXPECT_FALSE(regReadValue(HKEY_CURRENT_USER, kKey, u"shortDword", true));
    const BYTE six[] = {1, 2, 3, 4, 5, 6};
    rawValue(L"shortQword", REG_QWORD, six, sizeof six);
    EXPECT_FALSE(regReadValue(HKEY_CURRENT_USER, kKey, u"shortQword", true));
    rawValue(L"empty", REG_BINARY, nullptr, 0);
    EXPECT_FALSE(regReadValue(HKEY_CURRENT_USER, kKey, u"empty", true));
}

TEST_F(Registry, BigEndianDwordIsConvertedToDword) {
    const BYTE big[] = {0x12, 0x34, 0x56, 0x78};
    rawValue(L"big", REG_DWORD_BIG_ENDIAN, big, sizeof big);
    const auto value = regReadValue(HKEY_CURRENT_USER, kKey, u"big", true);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<unsigned long>(REG_DWORD));
    DWORD number = 0;
    memcpy(&number, value->data.data(), 4);
    EXPECT_EQ(number, 0x12345678u);
    const std::uint32_t written = 7;
    ASSERT_TRUE(regWriteValue(HKEY_CURRENT_USER, kKey, u"dword", REG_DWORD, &written, 4));
    EXPECT_EQ(regValueType(HKEY_CURRENT_USER, kKey, u"dword"), REG_DWORD);
}

struct Names {
    std::vector<Text> names;
    std::vector<unsigned long> indexes;
};
void collect(TextView name, unsigned long index, void* context) {
    static_cast<Names*>(context)->names.emplace_back(name);
    static_cast<Names*>(context)->indexes.push_back(index);
}

TEST_F(Registry, EnumeratesKeysAndValues) {
    Names none;
    EXPECT_EQ(regEnumKeys(HKEY_CURRENT_USER, u"Software\\TavreloTests\\Missing", &collect, &none), -1);
    EXPECT_EQ(regEnumValues(HKEY_CURRENT_USER, u"Software\\TavreloTests\\Missing", &collect, &none), -1);
    ASSERT_TRUE(regCreateKey(HKEY_CURRENT_USER, kKey));
    EXPECT_EQ(regEnumKeys(HKEY_CURRENT_USER, kKey, &collect, &none), 0);
    EXPECT_EQ(regEnumValues(HKEY_CURRENT_USER, kKey, &collect, &none), 0);
    EXPECT_TRUE(none.names.empty());

    ASSERT_TRUE(regCreateKey(HKEY_CURRENT_USER, u"Software\\TavreloTests\\Registry\\one"));
    ASSERT_TRUE(regCreateKey(HKEY_CURRENT_USER, u"Software\\TavreloTests\\Registry\\two"));
    Names keys;
    EXPECT_EQ(regEnumKeys(HKEY_CURRENT_USER, kKey, &collect, &keys), 2);
    EXPECT_EQ(keys.names, (std::vector<Text>{u"one", u"two"}));
    EXPECT_EQ(keys.indexes, (std::vector<unsigned long>{0, 1}));

    ASSERT_TRUE(regWriteString(HKEY_CURRENT_USER, kKey, u"v", u"1"));
    Names values;
    EXPECT_EQ(regEnumValues(HKEY_CURRENT_USER, kKey, &collect, &values), 1);
    EXPECT_EQ(values.names, (std::vector<Text>{u"v"}));

    EXPECT_FALSE(regDeleteKey(HKEY_CURRENT_USER, kRoot)); // still has subkeys
    EXPECT_TRUE(regDeleteKey(HKEY_CURRENT_USER, u"Software\\TavreloTests\\Registry\\one"));
    EXPECT_EQ(regEnumKeys(HKEY_CURRENT_USER, kKey, nullptr, nullptr), 1);
}

TEST_F(Registry, RunEntriesReplaceAndDelete) {
    ASSERT_TRUE(setUserRunOnceEntry(u"TavreloTestEntry", u"first"));
    ASSERT_TRUE(setUserRunOnceEntry(u"TavreloTestEntry", u"second"));
    EXPECT_EQ(regReadText(HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                          u"TavreloTestEntry"),
              Text(u"second"));
    EXPECT_TRUE(deleteUserRunOnceEntry(u"TavreloTestEntry"));
    EXPECT_FALSE(deleteUserRunOnceEntry(u"TavreloTestEntry"));
    ASSERT_TRUE(setUserRunEntry(u"TavreloTestEntry", u"cmd"));
    EXPECT_EQ(regValueType(HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           u"TavreloTestEntry"),
              REG_SZ);
    EXPECT_TRUE(deleteUserRunEntry(u"TavreloTestEntry"));
}

} // namespace
} // namespace tavrelo
