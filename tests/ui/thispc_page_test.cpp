// The This PC page on real registry entries: the list and its buttons, actions that follow the
// row's record, the open-file dialog, the recent-package menu, Launch and the shortcuts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/dialog_watcher.h"
#include "support/installer_stand_ins.h"
#include "support/launch_recorder.h"
#include "support/registry_key.h"
#include "ui/list_view.h"
#include "ui/thispc_page.h"
#include "win/errors.h"
#include "win/handles.h"

namespace zid {

namespace {

// Product codes that sort as their names say: the registry lists them in this order.
constexpr wchar_t kFirst[] = L"{0000A000-0000-0000-0000-000000000001}";
constexpr wchar_t kSecond[] = L"{0000A000-0000-0000-0000-000000000002}";

// A Velonar entry of HKLM's Uninstall key in a view.
std::unique_ptr<UninstallEntry> Entry(REGSAM view, const wchar_t* code, const wchar_t* version, DWORD packed,
                                      const std::wstring& location = L"C:\\Program Files\\Corrabel\\Velonar\\",
                                      const std::wstring& uninstall = L"MsiExec.exe /I{X}") {
    auto entry = std::make_unique<UninstallEntry>(view, code);
    entry->String(L"DisplayName", L"Velonar")
        .String(L"DisplayVersion", version)
        .Dword(L"Version", packed)
        .String(L"InstallLocation", location)
        .String(L"UninstallString", uninstall)
        .String(L"InstallDate", L"20260314");
    return entry;
}

// The page in a stand-in main window, its operations on the scripted installer and prompt.
class ThisPcPage : public OperationsTest {
protected:
    void SetUp() override { m_platform.Win64 = true; }
    void TearDown() override {
        m_page.reset();
        m_parent.reset();
    }
    // Creates the page and lets its first refresh run.
    void Create() {
        m_page.reset(m_object.Create(m_parent.get(), m_context));
        ASSERT_TRUE(m_page);
        SetWindowPos(m_page.get(), nullptr, 0, 0, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
        DrainMessages();
    }
    // The recent packages, most recent first.
    void SetRecent(const std::vector<std::wstring>& paths) {
        for (auto path = paths.rbegin(); path != paths.rend(); ++path)
            m_settings.AddRecentPackage(*path);
    }
    HWND Item(int id) const { return GetDlgItem(m_page.get(), id); }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    void Command(int id) { SendMessageW(m_page.get(), WM_COMMAND, id, 0); }
    void Notify(int id, UINT code) {
        NMHDR header{Item(id), static_cast<UINT_PTR>(id), code};
        SendMessageW(m_page.get(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
    }
    void SelectRow(int row) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED;
        state.state = row >= 0 ? LVIS_SELECTED : 0;
        SendMessageW(m_object.List(), LVM_SETITEMSTATE, row >= 0 ? row : -1, reinterpret_cast<LPARAM>(&state));
    }

    CScriptedPrompt m_boxes;
    CScriptedInstaller m_installer;
    OperationContext m_context = Context(m_boxes, m_installer);
    UniqueWindow m_parent{
        CreateWindowW(L"STATIC", L"ZIDezureziv", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr)};
    CThisPcPage m_object;
    UniqueWindow m_page;
};

}  // namespace

TEST_F(ThisPcPage, ColumnsAndAnEmptyList) {
    Create();
    EXPECT_EQ(WindowText(Item(IDC_CAPTION)), L"");
    const std::pair<const wchar_t*, int> columns[] = {{L"Version", 100}, {L"Installed On", 100}, {L"Size", 70}};
    for (int i = 0; i < 3; ++i) {
        wchar_t heading[32] = L"";
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = heading;
        column.cchTextMax = 32;
        ASSERT_TRUE(SendMessageW(m_object.List(), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(heading, columns[i].first);
        EXPECT_EQ(column.cx, columns[i].second);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, i == 2 ? LVCFMT_RIGHT : LVCFMT_LEFT);
    }
    EXPECT_TRUE(SendMessageW(m_object.List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
    EXPECT_EQ(WindowText(Item(IDC_INSTALLED_GROUP)), L"Installed Velonar Package (0)");
    for (int id : {IDC_LAUNCH, IDC_REPAIR, IDC_UNINSTALL, IDC_START_VN, IDC_START_VN64})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_FALSE(GetWindowLongW(Item(IDC_START_VN64), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(SendMessageW(m_page.get(), WM_CTLCOLORDLG, 0, 0),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
}

TEST_F(ThisPcPage, OnePackageThenOnePerViewSetTheGroupTextAndTheStartButtons) {
    auto x86 = Entry(KEY_WOW64_32KEY, kFirst, L"5.30.2", 0x051E0002);
    Create();
    EXPECT_EQ(WindowText(Item(IDC_INSTALLED_GROUP)), L"Installed Velonar Package (1)");
    EXPECT_EQ(FirstSelectedRow(m_object.List()), 0);
    EXPECT_TRUE(Enabled(IDC_LAUNCH) && Enabled(IDC_REPAIR) && Enabled(IDC_UNINSTALL));
    EXPECT_TRUE(Enabled(IDC_START_VN));
    EXPECT_FALSE(Enabled(IDC_START_VN64));
    EXPECT_EQ(m_object.Count32(), 1);

    auto x64 = Entry(KEY_WOW64_64KEY, kSecond, L"5.46", 0x052E0000);
    Command(IDC_REFRESH);
    EXPECT_EQ(WindowText(Item(IDC_INSTALLED_GROUP)), L"Installed Velonar Packages (2)");
    EXPECT_EQ(m_object.Count32(), 1);
    EXPECT_EQ(m_object.Count64(), 1);
    EXPECT_TRUE(Enabled(IDC_START_VN64));
    EXPECT_EQ(ListCellText(m_object.List(), 1, 0), L"5.46 (64 bit)");
}

TEST_F(ThisPcPage, MissingLocationOrUninstallStringDisableTheirButtons) {
    auto entry = Entry(KEY_WOW64_64KEY, kFirst, L"5.46", 0x052E0000, L"", L"");
    Create();
    EXPECT_EQ(FirstSelectedRow(m_object.List()), 0);
    EXPECT_FALSE(Enabled(IDC_LAUNCH));
    EXPECT_FALSE(Enabled(IDC_REPAIR));
    EXPECT_FALSE(Enabled(IDC_UNINSTALL));
}

// An entry of another program that cannot be opened, between two of Velonar's: both are listed, and
// one line in the log pane at each refresh says what was skipped.
TEST_F(ThisPcPage, UnreadableEntryIsOneLogLineAndHidesNothing) {
    auto first = Entry(KEY_WOW64_64KEY, kFirst, L"5.46", 0x052E0000);
    auto third = Entry(KEY_WOW64_64KEY, L"{0000A000-0000-0000-0000-000000000003}", L"5.30.3", 0x051E0003);
    UniqueHKey uninstall;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallPath, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, uninstall.put());
    DanglingLink broken(uninstall.get(), kSecond);
    ASSERT_EQ(broken.Status(), ERROR_SUCCESS);
    Create();
    Command(IDC_REFRESH);
    EXPECT_EQ(WindowText(Item(IDC_INSTALLED_GROUP)), L"Installed Velonar Packages (2)");
    EXPECT_TRUE(m_boxes.Boxes().empty());
    const std::wstring line =
        L"Refresh: 1 entry of the list of installed programs could not be read and is not "
        L"listed: \"" +
        std::wstring(kSecond) + L"\" (64 bit): " + GetErrorPhrase(ERROR_FILE_NOT_FOUND) + L"\r\n";
    EXPECT_EQ(m_boxes.LogText(), line + line);
}

// The fill runs with the list's drawing off; the list must come back to life: the rows that do not
// fit give it its scroll bar.
TEST_F(ThisPcPage, AFilledListDrawsAgainWithAScrollBarForRowsThatDoNotFit) {
    std::vector<std::unique_ptr<UninstallEntry>> entries;
    for (const wchar_t* code : {kFirst, kSecond, L"{0000A000-0000-0000-0000-000000000003}",
                                L"{0000A000-0000-0000-0000-000000000004}", L"{0000A000-0000-0000-0000-000000000005}"})
        entries.push_back(Entry(KEY_WOW64_64KEY, code, L"5.46", 0x052E0000));
    Create();
    ASSERT_EQ(SendMessageW(m_object.List(), LVM_GETITEMCOUNT, 0, 0), 5);
    EXPECT_LT(SendMessageW(m_object.List(), LVM_GETCOUNTPERPAGE, 0, 0), 5);
    EXPECT_TRUE(GetWindowLongW(m_object.List(), GWL_STYLE) & WS_VSCROLL);
}

// "5.30.2" sorts before "5.46" although its record comes second: actions go by the row's data.
TEST_F(ThisPcPage, ActionsFollowTheRowsRecordNotItsPosition) {
    auto newer = Entry(KEY_WOW64_64KEY, kFirst, L"5.46", 0x052E0000);
    auto older = Entry(KEY_WOW64_64KEY, kSecond, L"5.30.3", 0x051E0003);
    Create();
    ASSERT_EQ(m_object.Records().size(), 2u);
    ASSERT_EQ(m_object.Records()[0].ProductCode, kFirst);
    ASSERT_EQ(ListCellText(m_object.List(), 0, 0), L"5.30.3 (64 bit)");
    SelectRow(-1);
    SelectRow(0);
    Command(IDC_REPAIR);
    SelectRow(-1);
    SelectRow(1);
    Notify(IDC_LIST1, NM_DBLCLK);  // the same as Uninstall
    ASSERT_EQ(m_installer.Calls().size(), 2u);
    EXPECT_EQ(m_installer.Calls()[0].Call, L"Reinstall");
    EXPECT_EQ(m_installer.Calls()[0].Target, kSecond);
    EXPECT_EQ(m_installer.Calls()[1].Call, L"Configure");
    EXPECT_EQ(m_installer.Calls()[1].Target, kFirst);
}

// Enter (the dialog manager's IDOK) on a selected row uninstalls it, as a double click does;
// with the focus elsewhere the page leaves it alone.
TEST_F(ThisPcPage, EnterOnASelectedRowDoesWhatADoubleClickDoes) {
    auto newer = Entry(KEY_WOW64_64KEY, kFirst, L"5.46", 0x052E0000);
    Create();
    SetFocus(Item(IDC_REFRESH));
    EXPECT_EQ(SendMessageW(m_page.get(), WM_COMMAND, IDOK, 0), 0);
    EXPECT_TRUE(m_installer.Calls().empty());
    SetFocus(m_object.List());
    EXPECT_NE(SendMessageW(m_page.get(), WM_COMMAND, IDOK, 0), 0);
    ASSERT_EQ(m_installer.Calls().size(), 1u);
    EXPECT_EQ(m_installer.Calls()[0].Call, L"Configure");
    EXPECT_EQ(m_installer.Calls()[0].Target, kFirst);
}

// A refresh that the page handles while the worker runs rebuilds the records; the operation is still
// on the record it started with, and its result line names that one.
TEST_F(ThisPcPage, RefreshDuringTheWaitChangesNeitherTheProductNorTheResultLine) {
    auto newer = Entry(KEY_WOW64_64KEY, kFirst, L"5.46", 0x052E0000);
    Create();
    std::unique_ptr<UninstallEntry> older;
    m_installer.DuringCall = [&](const InstallerCall&) {
        newer.reset();
        older = Entry(KEY_WOW64_64KEY, kSecond, L"5.30.3", 0x051E0003);
        SendMessageW(m_page.get(), WM_COMMAND, IDC_REFRESH, 0);  // handled by the waiting thread
    };
    Command(IDC_REPAIR);
    ASSERT_EQ(m_object.Records().size(), 1u);
    EXPECT_EQ(m_object.Records()[0].ProductCode, kSecond);  // the refresh ran
    ASSERT_EQ(m_installer.Calls().size(), 1u);
    EXPECT_EQ(m_installer.Calls()[0].Target, kFirst);
    EXPECT_NE(m_boxes.LogText().find(L"Repair 5.46 (64 bit): Exit code 0: "), std::wstring::npos)
        << Narrow(m_boxes.LogText());
}

TEST_F(ThisPcPage, RepairWithoutASelectedRowOnlySaysSo) {
    auto entry = Entry(KEY_WOW64_64KEY, kFirst, L"5.46", 0x052E0000);
    Create();
    SelectRow(-1);
    EXPECT_FALSE(Enabled(IDC_REPAIR));
    m_boxes.Log(L"earlier");
    Command(IDC_REPAIR);
    EXPECT_TRUE(m_installer.Calls().empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(m_boxes.LogText(), L"Cannot repair\r\n");
}

// Started quoted and in its own folder, not in the program's current one (often Downloads).
TEST_F(ThisPcPage, LaunchStartsTheInstalledProgramQuotedAndReportsAMissingOne) {
    CLaunchRecorder recorder;
    EnvironmentOverride inFolder(L"ZID_RECORD_CURRENT_FOLDER", L"1");
    const std::wstring installed = ScratchFolder(L"installed");
    CopyFileW(CLaunchRecorder::RecorderPath().c_str(), (installed + L"\\Velonar.exe").c_str(), FALSE);
    auto entry = Entry(KEY_WOW64_64KEY, kFirst, L"5.46", 0x052E0000, installed);
    Create();
    Command(IDC_LAUNCH);
    const std::vector<std::wstring> launches = recorder.WaitForLaunches(1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0], L"\"" + installed + L"\\Velonar.exe\" (in " + installed + L")");

    auto missing = Entry(KEY_WOW64_64KEY, kFirst, L"5.46", 0x052E0000, L"Z:\\no\\such folder\\");
    Command(IDC_REFRESH);
    Command(IDC_LAUNCH);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text.rfind(L"\"Z:\\no\\such folder\\Velonar.exe\": ", 0), 0u)
        << Narrow(m_boxes.Boxes()[0].text);
    EXPECT_EQ(m_boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONERROR));
}

// Only an absolute ...\Velonar.exe that exists is started: a relative location would resolve against
// the current folder (often Downloads).
TEST(LaunchPath, OnlyAFullPathToAProgramThatExists) {
    const std::wstring folder = ScratchFolder(L"launch-path");
    ASSERT_TRUE(WriteFileBytes(folder + L"\\Velonar.exe", ""));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\dir").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\dir\\Velonar.exe").c_str(), nullptr));
    const std::pair<std::wstring, DWORD> cases[] = {{folder, 0},
                                                    {folder + L"\\", 0},
                                                    {L"Corrabel\\Velonar", ERROR_BAD_PATHNAME},
                                                    {L"\\Corrabel", ERROR_BAD_PATHNAME},
                                                    {L"C:Velonar", ERROR_BAD_PATHNAME},
                                                    {L"", ERROR_BAD_PATHNAME},
                                                    {folder + L"\\missing", ERROR_PATH_NOT_FOUND},
                                                    {folder + L"\\dir", ERROR_ACCESS_DENIED}};
    for (const auto& [location, result] : cases) {
        std::wstring reason;
        EXPECT_EQ(CheckLaunchPath(location, reason), result) << Narrow(location);
        EXPECT_EQ(reason.empty(), result == 0) << Narrow(location);
    }
}

TEST_F(ThisPcPage, StartMenuShortcutsOfBothBuilds) {
    wchar_t common[MAX_PATH] = L"";
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_STARTMENU, nullptr, SHGFP_TYPE_CURRENT, common), S_OK);
    std::wstring path;
    ASSERT_EQ(StartMenuShortcut(false, path), S_OK);
    EXPECT_EQ(path, std::wstring(common) + L"\\Programs\\Corrabel\\Velonar.lnk");
    ASSERT_EQ(StartMenuShortcut(true, path), S_OK);
    EXPECT_EQ(path, std::wstring(common) + L"\\Programs\\Corrabel\\Velonar (64 bit).lnk");

    // No shortcut there: the shell's own failure is shown.
    Create();
    Command(IDC_START_VN64);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, path + L": Error code = 2");
}

TEST_F(ThisPcPage, CancelledOpenFileDialogOnlyClearsTheLogPane) {
    Create();
    m_boxes.Log(L"earlier");
    CDialogWatcher watcher(L"Open Installer Package", [](HWND dialog) { PressButton(dialog, IDCANCEL); });
    Command(IDC_INSTALL);
    EXPECT_TRUE(watcher.Seen());
    EXPECT_TRUE(m_boxes.LogText().empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// The dialog leaves the current folder where it was: nothing the program finds by a relative name
// comes from the folder the user last browsed.
TEST_F(ThisPcPage, OpenFileDialogLeavesTheCurrentFolderAlone) {
    Create();
    wchar_t before[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, before);
    const std::wstring package = fixtures::Path(L"velonar64-5.46-foreign.msi");
    m_boxes.Answer(IDCANCEL);
    CDialogWatcher watcher(L"Open Installer Package", [&](HWND dialog) { ChooseFile(dialog, package); });
    Command(IDC_INSTALL);
    EXPECT_TRUE(watcher.Seen());
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);  // the publisher's question, answered Cancel
    EXPECT_EQ(m_boxes.Boxes()[0].text.rfind(package + L": ", 0), 0u) << Narrow(m_boxes.Boxes()[0].text);
    wchar_t after[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, before);
}

TEST_F(ThisPcPage, ToolTipsOnlyOutsideWine) {
    Create();
    EXPECT_FALSE(m_object.ToolTips().Exists());
    m_page.reset();
    m_platform.Wine = false;
    Create();
    EXPECT_TRUE(m_object.ToolTips().Exists());
    m_page.reset();  // the tip goes with its page
    EXPECT_FALSE(m_object.ToolTips().Exists());
}

// The recent packages as a menu: shortened paths, icons except for a path ending in a backslash.
namespace {
struct MenuSeen {
    int Items = -1;
    std::vector<bool> HasIcon;
    std::vector<std::wstring> Texts;
};
MenuSeen g_menuSeen;

void CALLBACK InspectMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!menuWindow)
        return;
    KillTimer(nullptr, timer);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    g_menuSeen.Items = GetMenuItemCount(menu);
    for (int i = 0; i < g_menuSeen.Items; ++i) {
        wchar_t text[MAX_PATH] = L"";
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_CHECKMARKS | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = MAX_PATH;
        GetMenuItemInfoW(menu, i, TRUE, &item);
        g_menuSeen.HasIcon.push_back(item.hbmpUnchecked != nullptr);
        g_menuSeen.Texts.push_back(text);
    }
    EndMenu();
}
}  // namespace

TEST_F(ThisPcPage, RecentPackagesMenuShowsEachPathWithItsIconAndChoosingNothingDoesNothing) {
    Create();
    SetRecent({L"C:\\Packages\\velonar64-5.46.msi", L"C:\\Packages\\"});
    g_menuSeen = {};
    m_boxes.Log(L"earlier");
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, InspectMenu);
    Notify(IDC_INSTALL, BCN_DROPDOWN);
    KillTimer(nullptr, timer);
    ASSERT_EQ(g_menuSeen.Items, 2);
    EXPECT_EQ(g_menuSeen.Texts[0], L"C:\\Packages\\velonar64-5.46.msi");
    EXPECT_TRUE(g_menuSeen.HasIcon[0]);
    EXPECT_FALSE(g_menuSeen.HasIcon[1]);
    EXPECT_TRUE(m_installer.Calls().empty());
    EXPECT_FALSE(m_boxes.LogText().empty());  // nothing chosen: nothing cleared
}

namespace {
int g_entryToChoose = 0;

// Chooses entry g_entryToChoose (from 1) of the open menu with the keyboard.
void CALLBACK ChooseMenuEntry(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!menuWindow)
        return;
    KillTimer(nullptr, timer);
    for (int i = 0; i < g_entryToChoose; ++i)
        PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
}
}  // namespace

TEST_F(ThisPcPage, ChoosingARecentPackageClearsTheLogPaneAndInstallsThatPackage) {
    Create();
    const std::vector<std::wstring> recent = {fixtures::Path(L"velonar64-5.46-signed.msi"),
                                              fixtures::Path(L"velonar64-5.45.3-signed.msi"),
                                              fixtures::Path(L"velonar32-5.45.3-signed.msi")};
    SetRecent(recent);
    m_boxes.Log(L"earlier");
    g_entryToChoose = 2;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, ChooseMenuEntry);
    zid::scope_exit stopTimer([timer] { KillTimer(nullptr, timer); });
    Notify(IDC_INSTALL, BCN_DROPDOWN);
    ASSERT_EQ(m_installer.Calls().size(), 1u);
    EXPECT_EQ(m_installer.Calls()[0].Target, recent[1]);
    EXPECT_EQ(m_boxes.LogText().find(L"earlier"), std::wstring::npos);
    EXPECT_NE(m_boxes.LogText().find(L"Install 5.45.3 (64 bit): Exit code 0: "), std::wstring::npos)
        << Narrow(m_boxes.LogText());
}

}  // namespace zid
