// The installed-package inventory: packed versions, the three cell formats, and the scan of the
// Uninstall key in both registry views (entries written by the tests, and packages really installed).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <msi.h>

#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "packages/inventory.h"
#include "win/errors.h"
#include "support/registry_key.h"
#include "fixtures/fixture_files.h"
#include "support/test_util.h"

namespace zid {

namespace {

// --- Packed versions ---

TEST(PackedVersion, MadeFromThreePartsWithMissingPartsZero) {
    EXPECT_EQ(MakePackedVersion(L"5.45.3"), 0x052D0003u);
    EXPECT_EQ(MakePackedVersion(L"5.45"), 0x052D0000u);
    EXPECT_EQ(MakePackedVersion(L"5"), 0x05000000u);
    EXPECT_EQ(MakePackedVersion(L"5.x.3"), 0x05000000u);
    EXPECT_EQ(MakePackedVersion(L""), 0u);
    EXPECT_EQ(MakePackedVersion(L"Velonar"), 0u);
    EXPECT_EQ(MakePackedVersion(L"255.255.65535"), 0xFFFFFFFFu);
}

TEST(PackedVersion, PartTooLargeStaysInItsOwnField) {
    // 5.256 must not turn into 6.0, nor 5.45.65536 into 5.46.0.
    EXPECT_EQ(MakePackedVersion(L"5.256.1"), 0x05FF0001u);
    EXPECT_EQ(MakePackedVersion(L"5.45.65536"), 0x052DFFFFu);
    EXPECT_EQ(MakePackedVersion(L"300.1"), 0xFF010000u);
    EXPECT_EQ(PackVersion(5, 45, 3), 0x052D0003u);
}

TEST(PackedVersion, ComparedAsUnsignedNumbers) {
    EXPECT_GT(CompareVersions(MakePackedVersion(L"5.45.3"), MakePackedVersion(L"5.45")), 0);
    EXPECT_GT(CompareVersions(MakePackedVersion(L"5.46"), MakePackedVersion(L"5.45.3")), 0);
    EXPECT_LT(CompareVersions(MakePackedVersion(L"5.30.2"), MakePackedVersion(L"5.30.3")), 0);
    EXPECT_EQ(CompareVersions(MakePackedVersion(L"5.45.0"), MakePackedVersion(L"5.45")), 0);
    // Majors of 128 and more set the top bit: a signed comparison would call them older.
    EXPECT_GT(CompareVersions(MakePackedVersion(L"200.0"), MakePackedVersion(L"100.0")), 0);
    EXPECT_GT(CompareVersions(MakePackedVersion(L"128.0"), MakePackedVersion(L"127.255.65535")), 0);
}

TEST(PackedVersion, FormattedWithBuildOnlyWhenNotZero) {
    EXPECT_EQ(FormatVersion(0x052D0000), L"5.45");
    EXPECT_EQ(FormatVersion(0x052D0003), L"5.45.3");
    EXPECT_EQ(FormatVersion(0), L"0.0");
    EXPECT_EQ(FormatVersion(0xFFFFFFFF), L"255.255.65535");
    for (const wchar_t* text : {L"5.20", L"5.25", L"5.30.2", L"5.30.3", L"5.45", L"5.45.3", L"5.46"})
        EXPECT_EQ(FormatVersion(MakePackedVersion(text)), text);
}

// --- Cells ---

TEST(InstallDate, EightDigitsShownInTheCLocaleDateForm) {
    EXPECT_EQ(FormatInstallDate(L"20240314", L"%4u%2u%2u"), L"03/14/24");
    EXPECT_EQ(FormatInstallDate(L"19991231", L"%4u%2u%2u"), L"12/31/99");
    EXPECT_EQ(FormatInstallDate(L"19700101", L"%4u%2u%2u"), L"01/01/70");
    EXPECT_EQ(FormatInstallDate(L"20240229", L"%4u%2u%2u"), L"02/29/24");
}

TEST(InstallDate, WebsitePatternWithSeparators) {
    EXPECT_EQ(FormatInstallDate(L"2024-03-14", L"%u-%u-%u"), L"03/14/24");
    EXPECT_EQ(FormatInstallDate(L"2024-3-5", L"%u-%u-%u"), L"03/05/24");
}

TEST(InstallDate, FewerThanThreeNumbersGiveEmpty) {
    EXPECT_EQ(FormatInstallDate(L"2024", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"202403", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"March 2024", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"2024/03/14", L"%u-%u-%u"), L"");
}

TEST(InstallDate, DaysNotOnTheCalendarGiveEmptyRatherThanAnotherDay) {
    EXPECT_EQ(FormatInstallDate(L"20230229", L"%4u%2u%2u"), L"");  // not a leap year
    EXPECT_EQ(FormatInstallDate(L"19000229", L"%4u%2u%2u"), L"");  // nor is 1900
    EXPECT_EQ(FormatInstallDate(L"20240431", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"20241301", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"20240001", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"20240300", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"19691231", L"%4u%2u%2u"), L"");
    EXPECT_EQ(FormatInstallDate(L"4294967295-1-1", L"%u-%u-%u"), L"");
    EXPECT_EQ(FormatInstallDate(L"20000229", L"%4u%2u%2u"), L"02/29/00");  // 2000 is a leap year
}

TEST(Size, ThreeSignificantDigitsWithThresholdThousandDivisor1024) {
    EXPECT_EQ(FormatSize(0), L"0 KB");
    EXPECT_EQ(FormatSize(999), L"999 KB");
    EXPECT_EQ(FormatSize(1000), L"0.977 MB");
    EXPECT_EQ(FormatSize(52345), L"51.1 MB");
    EXPECT_EQ(FormatSize(1048576), L"1 GB");
    EXPECT_EQ(FormatSize(1023500), L"1e+03 MB");
    EXPECT_EQ(FormatSize(0xFFFFFFFF), L"4 TB");
}

TEST(DisplayName, ProductNameAloneOrFollowedByASpace) {
    EXPECT_TRUE(IsProductDisplayName(L"Velonar"));
    EXPECT_TRUE(IsProductDisplayName(L"Velonar 5.45.3"));
    EXPECT_TRUE(IsProductDisplayName(L"Velonar "));
    EXPECT_FALSE(IsProductDisplayName(L"VelonarX"));
    EXPECT_FALSE(IsProductDisplayName(L"My Velonar"));
    EXPECT_FALSE(IsProductDisplayName(L"velonar"));
    EXPECT_FALSE(IsProductDisplayName(L"Velonar\t5"));
    EXPECT_FALSE(IsProductDisplayName(L"Velona"));
    EXPECT_FALSE(IsProductDisplayName(L""));
}

// --- Scanning ---

// Path, product and package code of a fixture package.
struct FixturePackage {
    std::wstring path;
    std::wstring productCode;
    std::wstring packageCode;
};

FixturePackage Fixture(const std::wstring& fileName) {
    const fixtures::Package info = fixtures::PackageInfo(fileName);
    return {fixtures::Path(fileName), info.productCode, info.packageCode};
}

// Scans as the This PC page does, into one scan.
class Inventory : public ::testing::Test {
protected:
    size_t Scan(REGSAM view) {
        const size_t before = m_scan.Entries.size();
        ScanInstalledPackages(view, m_scan);
        return m_scan.Entries.size() - before;
    }
    size_t ScanKey(HKEY root, const wchar_t* subKey) {
        const size_t before = m_scan.Entries.size();
        ScanUninstallKey(root, subKey, 0, m_scan);
        return m_scan.Entries.size() - before;
    }
    const InstalledPackage& Record(size_t index) const { return m_scan.Entries.at(index).Record; }

    InventoryScan m_scan;
};

TEST_F(Inventory, EntriesOfOneViewBecomeRecordsAndTheirTexts) {
    UninstallEntry plain(KEY_WOW64_32KEY, L"{ZID-TEST-1}");
    plain.String(L"DisplayName", L"Velonar")
        .String(L"DisplayVersion", L"5.45")
        .String(L"InstallDate", L"20240314")
        .Dword(L"EstimatedSize", 52345)
        .Dword(L"Version", 0x052D0000)
        .String(L"InstallLocation", L"C:\\Program Files (x86)\\Corrabel\\Velonar\\")
        .String(L"UninstallString", L"MsiExec.exe /X{ZID-TEST-1}", REG_EXPAND_SZ);
    UninstallEntry sparse(KEY_WOW64_32KEY, L"{ZID-TEST-2}");
    sparse.String(L"DisplayName", L"Velonar 5.45.3")
        .String(L"InstallDate", L"2024")
        .String(L"EstimatedSize", L"52345")
        .String(L"Version", L"5.45.3");
    UninstallEntry suffixed(KEY_WOW64_32KEY, L"{ZID-TEST-3}");
    suffixed.String(L"DisplayName", L"VelonarX").String(L"DisplayVersion", L"9.9");
    UninstallEntry prefixed(KEY_WOW64_32KEY, L"{ZID-TEST-4}");
    prefixed.String(L"DisplayName", L"My Velonar").String(L"DisplayVersion", L"9.9");
    UninstallEntry unnamed(KEY_WOW64_32KEY, L"{ZID-TEST-5}");
    unnamed.String(L"DisplayVersion", L"9.9");
    UninstallEntry numberName(KEY_WOW64_32KEY, L"{ZID-TEST-6}");
    numberName.Dword(L"DisplayName", 7).String(L"DisplayVersion", L"9.9");
    UninstallEntry odd(KEY_WOW64_32KEY, L"{ZID-TEST-7}");
    odd.String(L"DisplayName", L"Velonar")
        .String(L"DisplayVersion", L"5.20")
        .Dword(L"InstallDate", 20240314)
        .String(L"InstallLocation", L"C:\\%ProgramFiles%\\Velonar", REG_EXPAND_SZ)
        .Dword(L"UninstallString", 1);

    EXPECT_EQ(Scan(KEY_WOW64_32KEY), 3u);
    EXPECT_TRUE(m_scan.Failures.empty());

    ASSERT_EQ(m_scan.Entries.size(), 3u);
    const InstalledPackage& first = Record(0);
    EXPECT_EQ(first.ProductCode, L"{ZID-TEST-1}");
    EXPECT_EQ(first.PackageCode, L"");  // not known to Windows Installer
    EXPECT_EQ(first.Version, 0x052D0000u);
    EXPECT_FALSE(first.Is64Bit);
    EXPECT_EQ(first.InstallLocation, L"C:\\Program Files (x86)\\Corrabel\\Velonar\\");
    EXPECT_EQ(first.UninstallString, L"MsiExec.exe /X{ZID-TEST-1}");
    EXPECT_EQ(Record(1).ProductCode, L"{ZID-TEST-2}");
    EXPECT_EQ(Record(1).Version, 0u);
    EXPECT_EQ(Record(1).InstallLocation, L"");
    EXPECT_EQ(Record(2).ProductCode, L"{ZID-TEST-7}");
    wchar_t programFiles[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
    EXPECT_EQ(Record(2).InstallLocation, L"C:\\" + std::wstring(programFiles) + L"\\Velonar");  // expanded
    EXPECT_EQ(Record(2).UninstallString, L"");

    const std::vector<InventoryEntry>& entries = m_scan.Entries;
    EXPECT_EQ(entries[0].Version, L"5.45");
    EXPECT_EQ(entries[0].InstallDate, L"03/14/24");
    EXPECT_EQ(entries[0].Size, L"51.1 MB");
    EXPECT_EQ(entries[1].Version, L"");      // DisplayVersion missing
    EXPECT_EQ(entries[1].InstallDate, L"");  // a year alone
    EXPECT_EQ(entries[1].Size, L"");         // size as text
    EXPECT_EQ(entries[2].Version, L"5.20");
    EXPECT_EQ(entries[2].InstallDate, L"");  // date as a number
}

TEST_F(Inventory, BothViewsOfA64BitSystem) {
    UninstallEntry x86(KEY_WOW64_32KEY, L"{ZID-TEST-A}");
    x86.String(L"DisplayName", L"Velonar").String(L"DisplayVersion", L"5.46").Dword(L"Version", 0x052E0000);
    UninstallEntry x64(KEY_WOW64_64KEY, L"{ZID-TEST-B}");
    x64.String(L"DisplayName", L"Velonar").String(L"DisplayVersion", L"5.45.3").Dword(L"Version", 0x052D0003);
    UninstallEntry x64Other(KEY_WOW64_64KEY, L"{ZID-TEST-C}");
    x64Other.String(L"DisplayName", L"Velonar 5.20").String(L"DisplayVersion", L"5.20").Dword(L"EstimatedSize", 999);

    // As the page refreshes on 64-bit Windows: the 32-bit view first, then the 64-bit view.
    EXPECT_EQ(Scan(KEY_WOW64_32KEY), 1u);
    EXPECT_EQ(Scan(KEY_WOW64_64KEY), 2u);

    ASSERT_EQ(m_scan.Entries.size(), 3u);
    EXPECT_EQ(Record(0).ProductCode, L"{ZID-TEST-A}");
    EXPECT_FALSE(Record(0).Is64Bit);
    EXPECT_EQ(m_scan.Entries[0].Version, L"5.46");
    EXPECT_EQ(Record(1).ProductCode, L"{ZID-TEST-B}");
    EXPECT_TRUE(Record(1).Is64Bit);
    EXPECT_EQ(Record(1).Version, 0x052D0003u);
    EXPECT_EQ(m_scan.Entries[1].Version, L"5.45.3 (64 bit)");
    EXPECT_EQ(Record(2).ProductCode, L"{ZID-TEST-C}");
    EXPECT_TRUE(Record(2).Is64Bit);
    EXPECT_EQ(m_scan.Entries[2].Version, L"5.20 (64 bit)");
    EXPECT_EQ(m_scan.Entries[2].Size, L"999 KB");
}

TEST_F(Inventory, WithoutAViewSelectorNothingIsMarked64Bit) {
    // A 32-bit system has one view and no selector; this test program's own view stands in for it.
    UninstallEntry entry(0, L"{ZID-TEST-N}");
    entry.String(L"DisplayName", L"Velonar").String(L"DisplayVersion", L"5.45.3");
    EXPECT_EQ(Scan(0), 1u);
    EXPECT_FALSE(Record(0).Is64Bit);
    EXPECT_EQ(m_scan.Entries[0].Version, L"5.45.3");
}

TEST_F(Inventory, ViewWithoutVelonarAddsNothing) {
    UninstallEntry other(KEY_WOW64_64KEY, L"{ZID-TEST-O}");
    other.String(L"DisplayName", L"VelonarX");
    EXPECT_EQ(Scan(KEY_WOW64_64KEY), 0u);
    EXPECT_TRUE(m_scan.Failures.empty());
}

// --- Failures ---

constexpr wchar_t kScratchUninstall[] = L"Software\\ZidTests\\Uninstall";

TEST_F(Inventory, MissingKeyListsNothingAndReportsNothing) {
    // A fresh 64-bit system may have no Uninstall key in its 32-bit view until a 32-bit program is installed.
    EXPECT_EQ(ScanKey(HKEY_CURRENT_USER, L"Software\\ZidTests\\Missing"), 0u);
    EXPECT_TRUE(m_scan.Failures.empty());
}

TEST_F(Inventory, KeyThatCannotBeOpenedIsReportedAsOpenKey1) {
    UniqueHKey closed;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\ZidTests", 0, nullptr, 0, KEY_READ, nullptr, closed.put(),
                              nullptr),
              ERROR_SUCCESS);
    const HKEY stale = closed.get();
    closed.reset();
    EXPECT_EQ(ScanKey(stale, L"Uninstall"), 0u);
    ASSERT_EQ(m_scan.Failures.size(), 1u);
    EXPECT_EQ(m_scan.Failures[0].Step, L"OpenKey(1)");
    EXPECT_EQ(m_scan.Failures[0].Status, ERROR_INVALID_HANDLE);
}

TEST_F(Inventory, EntryThatCannotBeOpenedIsSkippedAndTheScanGoesOn) {
    TestRegistryKey uninstall(HKEY_CURRENT_USER, kScratchUninstall);
    TestRegistryKey before(HKEY_CURRENT_USER, uninstall.Path() + L"\\A");
    before.String(L"DisplayName", L"Velonar").String(L"DisplayVersion", L"5.45");
    DanglingLink broken(uninstall.get(), L"B");
    ASSERT_EQ(broken.Status(), ERROR_SUCCESS);
    TestRegistryKey after(HKEY_CURRENT_USER, uninstall.Path() + L"\\C");
    after.String(L"DisplayName", L"Velonar").String(L"DisplayVersion", L"5.46");
    zid::UniqueHKey probe;
    const LSTATUS openResult = RegOpenKeyExW(uninstall.get(), L"B", 0, KEY_READ, probe.put());
    ASSERT_NE(openResult, ERROR_SUCCESS);

    EXPECT_EQ(ScanKey(HKEY_CURRENT_USER, kScratchUninstall), 2u);
    EXPECT_TRUE(m_scan.Failures.empty());
    ASSERT_EQ(m_scan.Skipped.size(), 1u);
    EXPECT_EQ(m_scan.Skipped[0].Name, L"B");
    EXPECT_EQ(m_scan.Skipped[0].Status, openResult);
    EXPECT_EQ(Record(0).ProductCode, L"A");
    EXPECT_EQ(Record(1).ProductCode, L"C");
}

// --- Packages installed by Windows Installer ---

class InstalledFixture {
public:
    explicit InstalledFixture(const FixturePackage& package) : m_package(package) {
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        m_result = MsiInstallProductW(package.path.c_str(), L"ALLUSERS=1");
    }
    ~InstalledFixture() {
        if (m_result == ERROR_SUCCESS)
            MsiConfigureProductW(m_package.productCode.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    }
    InstalledFixture(const InstalledFixture&) = delete;
    InstalledFixture& operator=(const InstalledFixture&) = delete;
    UINT Result() const { return m_result; }

private:
    FixturePackage m_package;
    UINT m_result;
};

TEST_F(Inventory, InstalledPackagesCarryTheirPackageCode) {
    const FixturePackage x86 = Fixture(L"velonar32-5.45.3.msi");
    const FixturePackage x64 = Fixture(L"velonar64-5.46.msi");
    ASSERT_FALSE(x86.productCode.empty()) << "fixtures missing: build the zid_fixtures target";
    ASSERT_FALSE(x64.productCode.empty());
    InstalledFixture installed86(x86);
    ASSERT_EQ(installed86.Result(), static_cast<UINT>(ERROR_SUCCESS));
    InstalledFixture installed64(x64);
    ASSERT_EQ(installed64.Result(), static_cast<UINT>(ERROR_SUCCESS));

    // The 32-bit package lands in the 32-bit view, the 64-bit package in the 64-bit view.
    EXPECT_EQ(Scan(KEY_WOW64_32KEY), 1u);
    EXPECT_EQ(Scan(KEY_WOW64_64KEY), 1u);
    ASSERT_EQ(m_scan.Entries.size(), 2u);
    EXPECT_EQ(Record(0).ProductCode, x86.productCode);
    EXPECT_EQ(Record(0).PackageCode, x86.packageCode);
    EXPECT_EQ(Record(0).Version, 0x052D0003u);
    EXPECT_FALSE(Record(0).Is64Bit);
    EXPECT_EQ(m_scan.Entries[0].Version, L"5.45.3");
    EXPECT_EQ(Record(1).ProductCode, x64.productCode);
    EXPECT_EQ(Record(1).PackageCode, x64.packageCode);
    EXPECT_EQ(Record(1).Version, 0x052E0000u);
    EXPECT_TRUE(Record(1).Is64Bit);
    EXPECT_EQ(m_scan.Entries[1].Version, L"5.46 (64 bit)");
    EXPECT_TRUE(m_scan.Failures.empty());
}

TEST_F(Inventory, UninstalledPackageIsGoneFromTheList) {
    const FixturePackage x64 = Fixture(L"velonar64-5.45.3.msi");
    ASSERT_FALSE(x64.productCode.empty()) << "fixtures missing: build the zid_fixtures target";
    {
        InstalledFixture installed(x64);
        ASSERT_EQ(installed.Result(), static_cast<UINT>(ERROR_SUCCESS));
    }
    EXPECT_EQ(Scan(KEY_WOW64_64KEY), 0u);
}

}  // namespace

}  // namespace zid
