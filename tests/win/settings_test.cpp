// The settings key, the recent packages and the flags, in this prefix's real registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "win/registry.h"
#include "win/handles.h"
#include "win/settings.h"
#include "support/test_util.h"

namespace zid {

namespace {

constexpr wchar_t kSettingsPath[] = L"Software\\Fennickworks\\ZIDezureziv";
constexpr wchar_t kRecentPath[] = L"Software\\Fennickworks\\ZIDezureziv\\Recent File List";
constexpr wchar_t kCheckPath[] = L"Software\\Fennickworks\\ZIDezureziv\\Settings";

zid::UniqueHKey CreateUserKey(const wchar_t* path) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    return zid::UniqueHKey(key);
}

void SetRaw(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    zid::UniqueHKey key = CreateUserKey(path);
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

void SetText(const wchar_t* path, const wchar_t* name, const std::wstring& text) {
    SetRaw(path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The stored value's text, or "<missing>".
std::wstring StoredText(const wchar_t* path, const wchar_t* name) {
    wchar_t text[512];
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

// "abc" stored without its terminator: the registry adds one when the character after the data
// is zero, so the data is followed by a non-zero one.
constexpr wchar_t kUnterminated[] = L"abcd";

std::wstring Path(int number) {
    return L"C:\\Packages\\Velonar-" + std::to_wstring(number) + L".msi";
}

class SettingsKey : public ::testing::Test {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override {
        m_store.reset();
        DeleteSettingsKey();
    }
    CSettingsStore& Store() { return *m_store; }
    // What the next start-up sees.
    void Restart() {
        m_store = std::make_unique<CSettingsStore>();
        m_store->Open();
    }
    std::unique_ptr<CSettingsStore> m_store = std::make_unique<CSettingsStore>();
};

class StringValue : public SettingsKey {
protected:
    void SetUp() override {
        SettingsKey::SetUp();
        m_key = CreateUserKey(kSettingsPath);
    }
    void TearDown() override {
        m_key.reset();
        SettingsKey::TearDown();
    }
    LSTATUS Query(const void* data, DWORD size, DWORD type = REG_SZ) {
        RegSetValueExW(m_key.get(), L"Value", 0, type, static_cast<const BYTE*>(data), size);
        m_text = L"unchanged";
        return QueryStringValue(m_key.get(), L"Value", m_text);
    }
    zid::UniqueHKey m_key;
    std::wstring m_text;
};

}  // namespace

TEST_F(SettingsKey, FirstRunCreatesTheKeyPathWithLoggingOnAndNoRecentPackages) {
    Store().Open();
    ASSERT_TRUE(Store().IsOpen());
    HKEY probe = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_READ, &probe), ERROR_SUCCESS);
    RegCloseKey(probe);
    EXPECT_TRUE(Store().RecentPackages().empty());
    EXPECT_TRUE(Store().ReadFlag(L"Logging"));

    Store().AddRecentPackage(Path(1));
    EXPECT_EQ(StoredText(kRecentPath, L"File1"), Path(1));
    EXPECT_EQ(StoredText(kRecentPath, L"File2"), L"<missing>");
}

TEST_F(SettingsKey, GapInTheStoredListIsSkippedAndTheStaleTailStays) {
    SetText(kRecentPath, L"File1", Path(1));
    SetText(kRecentPath, L"File3", Path(3));
    Store().Open();
    EXPECT_EQ(Store().RecentPackages(), (std::vector<std::wstring>{Path(1), Path(3)}));

    Store().AddRecentPackage(Path(1));  // saves the list as it is
    EXPECT_EQ(StoredText(kRecentPath, L"File2"), Path(3));
    EXPECT_EQ(StoredText(kRecentPath, L"File3"), Path(3));  // neither rewritten nor deleted
    Restart();
    EXPECT_EQ(Store().RecentPackages(), (std::vector<std::wstring>{Path(1), Path(3), Path(3)}));
}

TEST_F(SettingsKey, UnreadableEntriesAreSkipped) {
    SetText(kRecentPath, L"File1", Path(1));
    const DWORD number = 7;
    SetRaw(kRecentPath, L"File2", REG_DWORD, &number, sizeof(number));
    SetRaw(kRecentPath, L"File3", REG_SZ, kUnterminated, 6);
    SetText(kRecentPath, L"File4", L"");
    SetText(kRecentPath, L"File16", Path(16));
    SetText(kRecentPath, L"File17", Path(17));  // beyond the list's length
    Store().Open();
    EXPECT_EQ(Store().RecentPackages(), (std::vector<std::wstring>{Path(1), Path(16)}));
}

TEST_F(SettingsKey, AddingTheThirdPathMovesItToTheFront) {
    Store().Open();
    for (int i = 3; i >= 1; --i)
        Store().AddRecentPackage(Path(i));
    ASSERT_EQ(Store().RecentPackages(), (std::vector<std::wstring>{Path(1), Path(2), Path(3)}));
    Store().AddRecentPackage(Path(3));
    EXPECT_EQ(Store().RecentPackages(), (std::vector<std::wstring>{Path(3), Path(1), Path(2)}));
    EXPECT_EQ(StoredText(kRecentPath, L"File1"), Path(3));
    EXPECT_EQ(StoredText(kRecentPath, L"File2"), Path(1));
    EXPECT_EQ(StoredText(kRecentPath, L"File3"), Path(2));
    EXPECT_EQ(StoredText(kRecentPath, L"File4"), L"<missing>");
}

TEST_F(SettingsKey, SeventeenthPathDropsTheOldest) {
    Store().Open();
    for (int i = 1; i <= 17; ++i)
        Store().AddRecentPackage(Path(i));
    ASSERT_EQ(Store().RecentPackages().size(), 16u);
    EXPECT_EQ(Store().RecentPackages().front(), Path(17));
    EXPECT_EQ(Store().RecentPackages().back(), Path(2));
    EXPECT_EQ(StoredText(kRecentPath, L"File16"), Path(2));
    EXPECT_EQ(StoredText(kRecentPath, L"File17"), L"<missing>");
    Restart();
    EXPECT_EQ(Store().RecentPackages().size(), 16u);
    EXPECT_EQ(Store().RecentPackages().front(), Path(17));
}

TEST_F(SettingsKey, PathsDifferingOnlyInCaseAreDistinct) {
    Store().Open();
    Store().AddRecentPackage(L"C:\\Packages\\Velonar.msi");
    Store().AddRecentPackage(L"c:\\packages\\velonar.msi");
    EXPECT_EQ(Store().RecentPackages(),
              (std::vector<std::wstring>{L"c:\\packages\\velonar.msi", L"C:\\Packages\\Velonar.msi"}));
}

TEST_F(SettingsKey, WithoutTheSettingsKeyEverythingFallsBackSilently) {
    // No key open: reads give the defaults, writes change nothing on disk.
    EXPECT_TRUE(Store().ReadFlag(L"Logging"));
    Store().AddRecentPackage(Path(1));
    EXPECT_EQ(Store().RecentPackages(), std::vector<std::wstring>{Path(1)});
    Store().WriteFlag(L"Logging", 0);
    EXPECT_EQ(StoredText(kRecentPath, L"File1"), L"<missing>");
    HKEY probe = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_READ, &probe), ERROR_SUCCESS);
}

// A flag is off only as a four-byte DWORD 0; anything else, or nothing, reads as on.
TEST_F(SettingsKey, FlagsAreDwordsAndReadAsSetUnlessZero) {
    Store().Open();
    for (DWORD state : {0u, 1u}) {
        Store().WriteFlag(L"Logging", state);
        DWORD stored = 99;
        DWORD size = sizeof(stored);
        ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kCheckPath, L"Logging", RRF_RT_REG_DWORD, nullptr, &stored, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(stored, state);
        EXPECT_EQ(Store().ReadFlag(L"Logging"), state != 0);
    }
    SetText(kCheckPath, L"Logging", L"0");
    EXPECT_TRUE(Store().ReadFlag(L"Logging")) << "REG_SZ";
    const ULONGLONG wide = 0;
    SetRaw(kCheckPath, L"Logging", REG_DWORD, &wide, sizeof(wide));
    EXPECT_TRUE(Store().ReadFlag(L"Logging")) << "8 bytes";
    const WORD shortValue = 0;
    SetRaw(kCheckPath, L"Logging", REG_DWORD, &shortValue, sizeof(shortValue));
    EXPECT_TRUE(Store().ReadFlag(L"Logging")) << "2 bytes";
}

TEST_F(StringValue, TerminatedTextIsReadUpToItsFirstZero) {
    const wchar_t text[] = L"ab\0cd";
    EXPECT_EQ(Query(text, sizeof(text)), ERROR_SUCCESS);
    EXPECT_EQ(m_text, L"ab");
    const wchar_t expand[] = L"%TEMP%\\x";
    EXPECT_EQ(Query(expand, sizeof(expand), REG_EXPAND_SZ), ERROR_SUCCESS);
    EXPECT_EQ(m_text, L"%TEMP%\\x");
}

// Most values are read in one call; longer ones, from one character past that buffer on, in a second.
TEST_F(StringValue, TextsOfAnyLengthAreReadWhole) {
    for (size_t length : {254u, 255u, 256u, 257u, 5000u}) {
        std::wstring text(length, L'x');
        text.back() = L'y';
        EXPECT_EQ(Query(text.c_str(), static_cast<DWORD>((length + 1) * sizeof(wchar_t))), ERROR_SUCCESS) << length;
        EXPECT_EQ(m_text, text) << length;
    }
}

TEST_F(StringValue, EmptyValueIsTheEmptyText) {
    EXPECT_EQ(Query(L"", 0), ERROR_SUCCESS);
    EXPECT_EQ(m_text, L"");
}

TEST_F(StringValue, OddSizesAreInvalid) {
    const char bytes[] = "a\0b\0\0\0\0";
    for (DWORD size : {1u, 3u, 5u, 7u}) {
        EXPECT_EQ(Query(bytes, size), ERROR_INVALID_DATA) << size;
        EXPECT_EQ(m_text, L"unchanged") << size;
    }
}

TEST_F(StringValue, MissingTerminatorIsInvalid) {
    EXPECT_EQ(Query(kUnterminated, 6), ERROR_INVALID_DATA);
    EXPECT_EQ(m_text, L"unchanged");
    EXPECT_EQ(Query(kUnterminated, 6, REG_EXPAND_SZ), ERROR_INVALID_DATA);
}

TEST_F(StringValue, OtherTypesAndMissingValuesAreErrors) {
    const DWORD number = 1;
    EXPECT_EQ(Query(&number, sizeof(number), REG_DWORD), ERROR_INVALID_DATA);
    const wchar_t multi[] = L"a\0b\0";
    EXPECT_EQ(Query(multi, sizeof(multi), REG_MULTI_SZ), ERROR_INVALID_DATA);
    std::wstring text = L"unchanged";
    EXPECT_EQ(QueryStringValue(m_key.get(), L"NoSuchValue", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, L"unchanged");
}

TEST(RegKey, OpenReplacesTheHeldKeyOnlyOnSuccess) {
    CRegKey key;
    ASSERT_EQ(key.OpenKey(HKEY_CURRENT_USER, L"Software"), ERROR_SUCCESS);
    HKEY held = key.get();
    EXPECT_EQ(key.OpenKey(HKEY_CURRENT_USER, L"Software\\No Such Key Of Ours"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.get(), held);
}

}  // namespace zid
