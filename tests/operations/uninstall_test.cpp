// Uninstall: the settings question of old versions, the value the product's removal reads, the
// upgrade's command line, and every way the removal does not run.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>
#include <shlwapi.h>

#include <new>

#include "fixtures/fixture_files.h"
#include "operations/uninstall.h"
#include "support/installer_stand_ins.h"
#include "win/handles.h"
#include "win/registry.h"

namespace zid {

namespace {

constexpr wchar_t kProduct[] = L"{AAAAAAAA-2222-3333-4444-555555555555}";
constexpr wchar_t kProductKey[] = L"Software\\Corrabel\\Velonar";

// PreservePreferences under Software\Corrabel\Velonar\<subKey>, or -1 when there is none.
long long PreservedValue(const wchar_t* subKey) {
    CRegKey key;
    DWORD value = 0;
    if (key.OpenKey(HKEY_CURRENT_USER, (std::wstring(kProductKey) + L"\\" + subKey).c_str(), KEY_READ) !=
            ERROR_SUCCESS ||
        QueryDwordValue(key.get(), L"PreservePreferences", value) != ERROR_SUCCESS)
        return -1;
    return value;
}

bool KeyExists(const wchar_t* subKey) {
    CRegKey key;
    return key.OpenKey(HKEY_CURRENT_USER, (std::wstring(kProductKey) + L"\\" + subKey).c_str(), KEY_READ) ==
           ERROR_SUCCESS;
}

class Uninstall : public OperationsTest {
protected:
    void SetUp() override { SHDeleteKeyW(HKEY_CURRENT_USER, kProductKey); }
    void TearDown() override { SHDeleteKeyW(HKEY_CURRENT_USER, kProductKey); }
    bool Remove(int index, const std::optional<std::wstring>& upgrading, CScriptedInstaller& installer) {
        return UninstallPackage(Context(m_prompt, installer), index, upgrading, m_list);
    }
    // Records the PreservePreferences values while the removal runs.
    void WatchValues(CScriptedInstaller& installer) {
        installer.DuringCall = [this](const InstallerCall&) {
            m_debugDuring = PreservedValue(L"Debug");
            m_uninstallDuring = PreservedValue(L"Uninstall");
        };
    }
    CScriptedPrompt m_prompt;
    CInstalledList m_list;
    long long m_debugDuring = -2;
    long long m_uninstallDuring = -2;
};

}  // namespace

// Versions up to 5.30.2 are asked and get the value under Debug (below 5.26) or Uninstall, present
// exactly while the removal runs.
TEST_F(Uninstall, OldVersionsAskAndLeaveTheAnswerWhileTheRemovalRuns) {
    struct Case {
        DWORD version;
        bool chooseRemove;
        const wchar_t* subKey;
        long long value;
    };
    const Case cases[] = {
        {0x051E0002, false, L"Uninstall", 1},  // 5.30.2, KEEP as offered
        {0x051A0000, false, L"Uninstall", 1},  // 5.26
        {0x05190000, true, L"Debug", 0},       // 5.25, REMOVE chosen
        {0, false, L"Debug", 1},               // no version recorded: oldest
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        m_list.Packages = {Record(kProduct, c.version, false)};
        CScriptedInstaller installer;
        WatchValues(installer);
        m_prompt.UninstallOptions = {c.chooseRemove ? IDNO : IDOK};
        const int asked = m_prompt.UninstallOptionsAsked();
        EXPECT_TRUE(Remove(0, std::nullopt, installer));
        EXPECT_EQ(m_prompt.UninstallOptionsAsked(), asked + 1);
        ASSERT_EQ(installer.Calls().size(), 1u);
        EXPECT_EQ(installer.Calls()[0].Target, kProduct);
        EXPECT_EQ(installer.Calls()[0].CommandLine, std::nullopt);
        EXPECT_EQ(std::wstring(c.subKey) == L"Debug" ? m_debugDuring : m_uninstallDuring, c.value);
        EXPECT_EQ(std::wstring(c.subKey) == L"Debug" ? m_uninstallDuring : m_debugDuring, -1);
        EXPECT_EQ(PreservedValue(c.subKey), -1);
        EXPECT_TRUE(KeyExists(c.subKey));
    }
    EXPECT_EQ(m_list.PostedRefreshes, 4);
}

TEST_F(Uninstall, NewerVersionsAreRemovedWithoutQuestionOrValue) {
    m_list.Packages = {Record(kProduct, 0x051E0003, true)};  // 5.30.3
    CScriptedInstaller installer;
    WatchValues(installer);
    EXPECT_TRUE(Remove(0, std::nullopt, installer));
    EXPECT_EQ(m_prompt.UninstallOptionsAsked(), 0);
    EXPECT_EQ(m_debugDuring, -1);
    EXPECT_EQ(m_uninstallDuring, -1);
}

TEST_F(Uninstall, BeforeAnUpgradeNothingIsAskedAndTheUpgradingProductIsNamed) {
    const std::wstring package = fixtures::Path(L"velonar32-5.45.3.msi");
    m_list.Packages = {Record(kProduct, 0x05140000, false)};  // 5.20
    CScriptedInstaller installer;
    WatchValues(installer);
    EXPECT_TRUE(Remove(0, package, installer));
    EXPECT_EQ(m_prompt.UninstallOptionsAsked(), 0);
    EXPECT_EQ(m_debugDuring, 1);
    ASSERT_EQ(installer.Calls().size(), 1u);
    EXPECT_EQ(installer.Calls()[0].CommandLine,
              L"UPGRADINGPRODUCTCODE=" + fixtures::PackageInfo(L"velonar32-5.45.3.msi").productCode);

    // An unreadable upgrading package leaves the property empty; the removal still runs.
    m_list.Packages = {Record(kProduct, 0x052E0000, false)};
    CScriptedInstaller second;
    EXPECT_TRUE(Remove(0, std::wstring(L"Z:\\no\\such.msi"), second));
    ASSERT_EQ(second.Calls().size(), 1u);
    EXPECT_EQ(second.Calls()[0].CommandLine, L"UPGRADINGPRODUCTCODE=");
}

// A package whose ProductCode carries more than a GUID would add properties to the elevated removal:
// the uninstall (and so the install after it) is refused.
TEST_F(Uninstall, UpgradingProductCodeThatIsNotAGuidIsRefused) {
    const std::wstring package = ScratchFolder(L"uninstall-guid") + L"\\velonar.msi";
    ASSERT_TRUE(CopyFileW(fixtures::Path(L"velonar32-5.45.3.msi").c_str(), package.c_str(), FALSE));
    const std::wstring code = std::wstring(kProduct) + L" REBOOT=Force";
    zid::UniqueMsiHandle database, view;
    ASSERT_EQ(MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_TRANSACT, database.put()), 0u);
    ASSERT_EQ(
        MsiDatabaseOpenViewW(database.get(),
                             (L"UPDATE `Property` SET `Value`='" + code + L"' WHERE `Property`='ProductCode'").c_str(),
                             view.put()),
        0u);
    ASSERT_EQ(MsiViewExecute(view.get(), 0), 0u);
    ASSERT_EQ(MsiDatabaseCommit(database.get()), 0u);
    view.reset();
    database.reset();

    m_list.Packages = {Record(kProduct, 0x052E0000, false)};
    CScriptedInstaller installer;
    EXPECT_FALSE(Remove(0, package, installer));
    EXPECT_TRUE(installer.Calls().empty());
    ASSERT_EQ(m_prompt.Boxes().size(), 1u);
    EXPECT_EQ(m_prompt.Boxes()[0].text, package + L": Its ProductCode is not a product code: \"" + code +
                                            L"\".\r\nNothing was uninstalled or installed.");
    EXPECT_EQ(m_prompt.LogText(), L"Uninstall: Refused\r\n");
}

TEST_F(Uninstall, CancelledQuestionRemovesNothing) {
    m_list.Packages = {Record(kProduct, 0x051E0002, false)};
    CScriptedInstaller installer;
    m_prompt.UninstallOptions = {IDCANCEL};
    EXPECT_FALSE(Remove(0, std::nullopt, installer));
    EXPECT_TRUE(installer.Calls().empty());
    EXPECT_EQ(m_prompt.LogText(), L"Uninstall: Canceled\r\n");
    EXPECT_FALSE(KeyExists(L"Uninstall"));
    EXPECT_EQ(m_list.PostedRefreshes, 0);
}

TEST_F(Uninstall, InvalidRecordIndexIsOneLogLine) {
    CScriptedInstaller installer;
    m_list.Packages = {Record(kProduct, 0x052E0000, false)};
    for (int index : {-1, 1, 7}) {
        m_prompt.ClearLog();
        EXPECT_FALSE(Remove(index, std::nullopt, installer));
        EXPECT_EQ(m_prompt.LogText(), L"Cannot uninstall\r\n");
    }
    EXPECT_TRUE(installer.Calls().empty());
    EXPECT_EQ(m_list.PostedRefreshes, 0);
}

TEST_F(Uninstall, FailedOrRestartNeedingRemovalReportsFalseButRefreshes) {
    m_list.Packages = {Record(kProduct, 0x052E0000, true)};
    for (UINT result : {1602u, 3010u}) {
        CScriptedInstaller installer({result});
        m_prompt.ClearLog();
        EXPECT_FALSE(Remove(0, std::nullopt, installer));
        EXPECT_NE(m_prompt.LogText().find(L"Uninstall 5.46 (64 bit): Exit code " + std::to_wstring(result)),
                  std::wstring::npos)
            << Narrow(m_prompt.LogText());
    }
    EXPECT_EQ(m_list.PostedRefreshes, 2);
}

// Whatever ends the removal of a version up to 5.30.2, the value it read is gone afterwards: a failed
// removal, or a message handler that fails while the removal runs (the value stays for the whole
// removal and is deleted before the failure goes on).
TEST_F(Uninstall, ValueIsGoneAfterAFailedOrInterruptedRemoval) {
    m_list.Packages = {Record(kProduct, 0x051E0002, false)};  // 5.30.2
    for (bool handlerFails : {false, true}) {
        SCOPED_TRACE(handlerFails ? "handler fails" : "removal fails");
        m_uninstallDuring = -2;
        CFailingWindow failing;
        CScriptedInstaller installer({1603});
        installer.DuringCall = [&](const InstallerCall&) {
            if (handlerFails) {
                failing.Fail();
                Sleep(300);  // the removal goes on after the failure
            }
            m_uninstallDuring = PreservedValue(L"Uninstall");
        };
        if (handlerFails)
            EXPECT_THROW(Remove(0, std::nullopt, installer), std::bad_alloc);
        else
            EXPECT_FALSE(Remove(0, std::nullopt, installer));
        DrainMessages();
        EXPECT_EQ(m_uninstallDuring, 1);
        EXPECT_EQ(PreservedValue(L"Uninstall"), -1);
    }
}

}  // namespace zid
