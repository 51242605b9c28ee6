// Uninstall: the settings question of old versions, the value the product's removal reads, the
// upgrade's command line, and every way the removal does not run.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <msiquery.h>
#include <shlwapi.h>

#include <new>

#include "fixtures/fixture_files.h"
#include "log/installer_log.h"
#include "operations/uninstall.h"
#include "support/installer_stand_ins.h"
#include "resource.h"
#include "support/dialog_watcher.h"
#include "support/message_boxes.h"
#include "win/handles.h"
#include "win/registry.h"

namespace {

constexpr wchar_t kProduct[] = L"{AAAAAAAA-2222-3333-4444-555555555555}";
constexpr wchar_t kDialogCaption[] = L"Uninstall - Velonar";
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
    void SetUp() override {
        OperationsTest::SetUp();
        SHDeleteKeyW(HKEY_CURRENT_USER, kProductKey);
    }
    void TearDown() override {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProductKey);
        OperationsTest::TearDown();
    }
    // Records the PreservePreferences values while the removal runs.
    void WatchValues(CScriptedInstaller& installer) {
        installer.DuringCall = [this](const InstallerCall&) {
            m_debugDuring = PreservedValue(L"Debug");
            m_uninstallDuring = PreservedValue(L"Uninstall");
        };
    }
    CInstalledList m_list;
    long long m_debugDuring = -2;
    long long m_uninstallDuring = -2;
};

}  // namespace

// Versions up to 5.30.2 are asked (KEEP checked at first) and get the value under Debug (below
// 5.26) or Uninstall, present exactly while the removal runs.
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
        bool keepOffered = false;
        bool removeOffered = true;
        CDialogWatcher watcher(kDialogCaption, [&](HWND dialog) {
            keepOffered = SendDlgItemMessageW(dialog, IDC_KEEP_SETTINGS, BM_GETCHECK, 0, 0) == BST_CHECKED;
            removeOffered = SendDlgItemMessageW(dialog, IDC_REMOVE_SETTINGS, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (c.chooseRemove)
                PressButton(dialog, IDC_REMOVE_SETTINGS);
            PressButton(dialog, IDOK);
        });
        EXPECT_TRUE(UninstallPackage(Main(), 0, std::nullopt, m_list));
        EXPECT_TRUE(watcher.Seen());
        EXPECT_TRUE(keepOffered);
        EXPECT_FALSE(removeOffered);
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
    CDialogWatcher watcher(
        kDialogCaption, [](HWND dialog) { PressButton(dialog, IDCANCEL); }, 500);
    EXPECT_TRUE(UninstallPackage(Main(), 0, std::nullopt, m_list));
    EXPECT_FALSE(watcher.Seen());
    EXPECT_EQ(m_debugDuring, -1);
    EXPECT_EQ(m_uninstallDuring, -1);
}

TEST_F(Uninstall, BeforeAnUpgradeNothingIsAskedAndTheUpgradingProductIsNamed) {
    const std::wstring package = fixtures::Path(L"velonar32-5.45.3.msi");
    m_list.Packages = {Record(kProduct, 0x05140000, false)};  // 5.20
    CScriptedInstaller installer;
    WatchValues(installer);
    CDialogWatcher watcher(
        kDialogCaption, [](HWND dialog) { PressButton(dialog, IDCANCEL); }, 500);
    EXPECT_TRUE(UninstallPackage(Main(), 0, package, m_list));
    EXPECT_FALSE(watcher.Seen());
    EXPECT_EQ(m_debugDuring, 1);
    ASSERT_EQ(installer.Calls().size(), 1u);
    EXPECT_EQ(installer.Calls()[0].CommandLine,
              L"UPGRADINGPRODUCTCODE=" + fixtures::PackageInfo(L"velonar32-5.45.3.msi").productCode);

    // An unreadable upgrading package leaves the property empty; the removal still runs.
    m_list.Packages = {Record(kProduct, 0x052E0000, false)};
    CScriptedInstaller second;
    EXPECT_TRUE(UninstallPackage(Main(), 0, std::wstring(L"Z:\\no\\such.msi"), m_list));
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
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(UninstallPackage(Main(), 0, package, m_list));
    EXPECT_TRUE(installer.Calls().empty());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, package + L": Its ProductCode is not a product code: \"" + code +
                                         L"\".\r\nNothing was uninstalled or installed.");
    EXPECT_TRUE(LogPaneText().ends_with(L" Uninstall: Refused\r\n")) << Narrow(LogPaneText());
}

TEST_F(Uninstall, CancelledQuestionRemovesNothing) {
    m_list.Packages = {Record(kProduct, 0x051E0002, false)};
    CScriptedInstaller installer;
    CDialogWatcher watcher(kDialogCaption, [](HWND dialog) { PressButton(dialog, IDCANCEL); });
    EXPECT_FALSE(UninstallPackage(Main(), 0, std::nullopt, m_list));
    EXPECT_TRUE(watcher.Seen());
    EXPECT_TRUE(installer.Calls().empty());
    EXPECT_TRUE(LogPaneText().ends_with(L" Uninstall: Canceled\r\n")) << Narrow(LogPaneText());
    EXPECT_FALSE(KeyExists(L"Uninstall"));
    EXPECT_EQ(m_list.PostedRefreshes, 0);
}

TEST_F(Uninstall, InvalidRecordIndexIsOneLogLine) {
    CScriptedInstaller installer;
    m_list.Packages = {Record(kProduct, 0x052E0000, false)};
    for (int index : {-1, 1, 7}) {
        ClearLogPane();
        EXPECT_FALSE(UninstallPackage(Main(), index, std::nullopt, m_list));
        EXPECT_TRUE(LogPaneText().ends_with(L" Cannot uninstall\r\n")) << Narrow(LogPaneText());
        EXPECT_FALSE(LogPaneText().ends_with(L"\r\n\r\n"));
    }
    EXPECT_TRUE(installer.Calls().empty());
    EXPECT_EQ(m_list.PostedRefreshes, 0);
}

TEST_F(Uninstall, FailedOrRestartNeedingRemovalReportsFalseButRefreshes) {
    m_list.Packages = {Record(kProduct, 0x052E0000, true)};
    for (UINT result : {1602u, 3010u}) {
        CScriptedInstaller installer({result});
        ClearLogPane();
        EXPECT_FALSE(UninstallPackage(Main(), 0, std::nullopt, m_list));
        EXPECT_NE(LogPaneText().find(L"Uninstall 5.46 (64 bit): Exit code " + std::to_wstring(result)),
                  std::wstring::npos)
            << Narrow(LogPaneText());
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
        CDialogWatcher watcher(kDialogCaption, [](HWND dialog) { PressButton(dialog, IDOK); });
        if (handlerFails)
            EXPECT_THROW(UninstallPackage(Main(), 0, std::nullopt, m_list), std::bad_alloc);
        else
            EXPECT_FALSE(UninstallPackage(Main(), 0, std::nullopt, m_list));
        EXPECT_EQ(m_uninstallDuring, 1);
        EXPECT_EQ(PreservedValue(L"Uninstall"), -1);
    }
}

// The selected row's item data picks the record, whatever the row's position.
TEST_F(Uninstall, SelectedRowChoosesTheRecordByItsData) {
    m_list.Packages = {Record(L"{11111111-0000-0000-0000-000000000001}", 0x052E0000, true),
                       Record(L"{11111111-0000-0000-0000-000000000002}", 0x052E0000, true)};
    zid::UniqueWindow list(CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 100, 100, nullptr,
                                           nullptr, nullptr, nullptr));
    ASSERT_TRUE(list);
    for (LPARAM index : {1, 0}) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(1 - index);
        item.pszText = const_cast<wchar_t*>(L"5.46");
        item.lParam = index;
        SendMessageW(list.get(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list.get(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    CScriptedInstaller installer;
    AddLogLine(L"earlier");
    UninstallSelected(Main(), list.get(), m_list);
    ASSERT_EQ(installer.Calls().size(), 1u);
    EXPECT_EQ(installer.Calls()[0].Target, L"{11111111-0000-0000-0000-000000000002}");
    EXPECT_EQ(LogPaneText().find(L"earlier"), std::wstring::npos);

    // No selected row: the index is -1.
    state.state = 0;
    SendMessageW(list.get(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    UninstallSelected(Main(), list.get(), m_list);
    EXPECT_TRUE(LogPaneText().ends_with(L" Cannot uninstall\r\n"));
}
