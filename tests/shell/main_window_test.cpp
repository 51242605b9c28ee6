// The main window created from its template in this process: layout, pages, commands, Copy Path.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "net/download_messages.h"
#include "net/download_request.h"
#include "operations/basic_ui.h"
#include "operations/runner.h"
#include "resource.h"
#include "shell/main_window.h"
#include "shell/main_window_layout.h"
#include "support/message_boxes.h"
#include "support/test_util.h"
#include "win/dialog.h"
#include "win/message_pump.h"
#include "win/platform.h"
#include "win/program.h"
#include "win/settings.h"

namespace {

// Shown within the hidden test window (showing it costs seconds per test under Xvfb).
bool IsShown(HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT ClientRectOf(HWND window, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Counts the commands that reach each page, then lets the page's own procedure answer.
std::map<HWND, std::vector<WORD>> g_pageCommands;
std::map<HWND, WNDPROC> g_pageProcedures;

LRESULT CALLBACK RecordingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        g_pageCommands[page].push_back(LOWORD(wParam));
    return CallWindowProcW(g_pageProcedures[page], page, message, wParam, lParam);
}

void RecordPageCommands(HWND page) {
    g_pageProcedures[page] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingPageProc)));
}

INT_PTR CALLBACK ClaimEveryCommand(HWND dialog, UINT message, WPARAM, LPARAM) {
    return message == WM_COMMAND ? PageHandledCommand(dialog) : FALSE;
}

class MainWindow : public ProgramStateTest {
protected:
    void SetUp() override {
        ProgramStateTest::SetUp();
        Pump().Accelerators = LoadAcceleratorsW(Platform().Instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
        DeleteSettingsKey();
        OpenSettings();
        m_window = m_main.Create(Platform().Instance);
        ASSERT_NE(m_window, nullptr);
        Pump().CtrlB = [this] { m_main.ToggleBasicUi(); };
        DrainMessages();
    }
    void TearDown() override {
        ResetProgramState(m_window);
        Pump().Accelerators = nullptr;
        DeleteSettingsKey();
        g_pageCommands.clear();
        g_pageProcedures.clear();
    }
    HWND ThisPc() { return m_main.ThisPc().Window(); }
    HWND Website() { return m_main.Website().Window(); }
    HWND Item(int id) const { return GetDlgItem(m_window, id); }
    void SelectTab(int index) {
        SendMessageW(m_main.Tab(), TCM_SETCURSEL, index, 0);
        NMHDR header{m_main.Tab(), IDC_TAB, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(m_window, WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&header));
    }
    void Key(HWND target, WPARAM key) {
        SetFocus(target);
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
        PumpMessages();
    }
    CMainWindow m_main;
    HWND m_window = nullptr;
};

// Holds the clipboard open from another thread's window until released.
class ClipboardHolder {
public:
    ClipboardHolder() {
        m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = CreateThread(nullptr, 0, &ClipboardHolder::Run, this, 0, nullptr);
        WaitForSingleObject(m_ready, 10000);
    }
    ~ClipboardHolder() {
        SetEvent(m_release);
        WaitForSingleObject(m_thread, 10000);
        CloseHandle(m_thread);
        CloseHandle(m_ready);
        CloseHandle(m_release);
    }
    bool Holding() const { return m_holding; }

private:
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<ClipboardHolder*>(param);
        HWND window =
            CreateWindowExW(0, L"STATIC", L"holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        self->m_holding = OpenClipboard(window) != FALSE;
        SetEvent(self->m_ready);
        WaitForSingleObject(self->m_release, 10000);
        if (self->m_holding)
            CloseClipboard();
        DestroyWindow(window);
        return 0;
    }
    HANDLE m_ready = nullptr;
    HANDLE m_release = nullptr;
    HANDLE m_thread = nullptr;
    bool m_holding = false;
};

std::wstring ClipboardText() {
    std::wstring text = L"<none>";
    if (!OpenClipboard(nullptr))
        return L"<not opened>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void PutOnClipboard(const std::wstring& text) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(CopyTextToClipboard(owner, text));
    DestroyWindow(owner);
}

// A closing About box: records what it showed, then presses OK.
std::wstring g_aboutCaption;
std::wstring g_aboutVersion;
BOOL CALLBACK CloseAboutBox(HWND window, LPARAM) {
    const std::wstring caption = WindowText(window);
    if (caption.compare(0, 6, L"About ") != 0)
        return TRUE;
    g_aboutCaption = caption;
    g_aboutVersion = WindowText(GetDlgItem(window, IDC_VERSION));
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}
void CALLBACK OnAboutTimer(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseAboutBox, 0);
}

}  // namespace

TEST(Placement, CentredInALargeWorkArea) {
    const POINT corner = PlaceInWorkArea(RECT{0, 0, 1280, 1024}, SIZE{600, 400});
    EXPECT_EQ(corner.x, 340);
    EXPECT_EQ(corner.y, 312);
    const POINT offset = PlaceInWorkArea(RECT{100, 50, 1380, 1074}, SIZE{600, 400});
    EXPECT_EQ(offset.x, 440);
    EXPECT_EQ(offset.y, 362);
}

TEST(Placement, WorkAreaSmallerThanTheWindowKeepsTheTopLeftCornerVisible) {
    const POINT corner = PlaceInWorkArea(RECT{10, 20, 410, 320}, SIZE{600, 400});
    EXPECT_EQ(corner.x, 10);
    EXPECT_EQ(corner.y, 20);
}

TEST(PageTemplate, ChildStyleReplacesPopupAndKeepsTheRest) {
    PageTemplate page = LoadPageTemplate(GetModuleHandleW(nullptr), IDD_THISPC);
    ASSERT_GT(page.Bytes.size(), 26u);
    ASSERT_TRUE(MakeChildTemplate(page.Bytes));
    DWORD style = 0;
    std::memcpy(&style, page.Bytes.data() + 12, sizeof(style));
    EXPECT_EQ(style & (WS_POPUP | WS_CHILD), static_cast<DWORD>(WS_CHILD));
    EXPECT_TRUE(style & DS_CONTROL);
    std::wstring caption;
    ASSERT_TRUE(ReadTemplateCaption(page.Bytes, caption));
    EXPECT_EQ(caption, L"This PC");
    SIZE size{};
    ASSERT_TRUE(ReadTemplateSize(page.Bytes, size));
    EXPECT_EQ(size.cx, 339);
    EXPECT_EQ(size.cy, 171);
}

TEST(PageTemplate, TruncatedTemplateHasNoCaption) {
    PageTemplate page = LoadPageTemplate(GetModuleHandleW(nullptr), IDD_WEBSITE);
    std::wstring caption = L"untouched";
    ASSERT_TRUE(ReadTemplateCaption(page.Bytes, caption));
    EXPECT_EQ(caption, L"VN Website");
    // Cut inside the caption, inside the class field, and before the style.
    for (size_t size : {page.Bytes.size() > 40 ? size_t{34} : size_t{0}, size_t{27}, size_t{10}}) {
        std::vector<BYTE> cut(page.Bytes.begin(), page.Bytes.begin() + size);
        caption = L"untouched";
        EXPECT_FALSE(ReadTemplateCaption(cut, caption)) << size;
        EXPECT_EQ(caption, L"untouched");
    }
    std::vector<BYTE> tiny(page.Bytes.begin(), page.Bytes.begin() + 10);
    EXPECT_FALSE(MakeChildTemplate(tiny));
    EXPECT_FALSE(LoadPageTemplate(GetModuleHandleW(nullptr), 999).Bytes.size());
}

TEST_F(MainWindow, LogPaneSpansTheTabControlAndTheClientEndsTwoMarginsBelow) {
    const SIZE margins = DialogMargins();
    const RECT tab = ClientRectOf(m_window, m_main.Tab());
    EXPECT_EQ(tab.left, margins.cx);
    EXPECT_EQ(tab.top, margins.cy);
    const RECT log = ClientRectOf(m_window, Item(IDC_LOG));
    EXPECT_EQ(log.left, tab.left);
    EXPECT_EQ(log.right - log.left, tab.right - tab.left);

    LONG lowest = tab.bottom;
    for (int id : {IDC_UI_LEVEL, IDC_SHOW_LOGS, IDC_COPY_PATH, IDC_LOG, IDCANCEL, IDM_ABOUT}) {
        const RECT rect = ClientRectOf(m_window, Item(id));
        EXPECT_GE(rect.top, tab.bottom) << id;
        lowest = std::max(lowest, rect.bottom);
    }
    RECT client{};
    GetClientRect(m_window, &client);
    EXPECT_EQ(client.bottom, lowest + 2 * margins.cy);
    EXPECT_EQ(client.right, tab.right + margins.cx);
}

TEST_F(MainWindow, PagesLieInsideTheTabDisplayArea) {
    RECT display = ClientRectOf(m_window, m_main.Tab());
    SendMessageW(m_main.Tab(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    EXPECT_TRUE(EqualRect(&display, &m_main.PageArea()));
    for (HWND page : {ThisPc(), Website()}) {
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(GetParent(page), m_window);
        EXPECT_TRUE(GetWindowLongW(page, GWL_STYLE) & WS_CHILD);
        const RECT rect = ClientRectOf(m_window, page);
        EXPECT_TRUE(EqualRect(&rect, &m_main.PageArea()));
    }
    EXPECT_EQ(m_main.ThisPc().List(), GetDlgItem(ThisPc(), IDC_LIST1));
    EXPECT_EQ(m_main.Website().List(), GetDlgItem(Website(), IDC_LIST1));
}

TEST_F(MainWindow, WindowLiesInThePrimaryWorkArea) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT window{};
    GetWindowRect(m_window, &window);
    const POINT expected =
        PlaceInWorkArea(monitor.rcWork, SIZE{window.right - window.left, window.bottom - window.top});
    EXPECT_EQ(window.left, expected.x);
    EXPECT_EQ(window.top, expected.y);
}

TEST_F(MainWindow, FirstDisplayShowsThisPcWithEverythingReset) {
    EXPECT_EQ(::MainWindow(), m_window);
    EXPECT_EQ(SendMessageW(m_main.Tab(), TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(m_main.VisiblePage(), ThisPc());
    EXPECT_TRUE(IsShown(ThisPc()));
    EXPECT_FALSE(IsShown(Website()));
    EXPECT_EQ(WindowText(Item(IDC_UI_LEVEL)), L"");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_COPY_PATH)));
    EXPECT_EQ(SendMessageW(Item(IDC_SHOW_LOGS), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_NE(SendMessageW(m_window, WM_GETICON, ICON_SMALL, 0), 0);
    wchar_t text[32];
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 32;
    ASSERT_TRUE(SendMessageW(m_main.Tab(), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(text, L"VN Website");
}

TEST_F(MainWindow, SwitchingTabsShowsTheOtherPageAndItsList) {
    HWND list = GetDlgItem(Website(), IDC_LIST1);
    ASSERT_FALSE(GetWindowLongW(list, GWL_STYLE) & WS_VISIBLE);
    SelectTab(1);
    EXPECT_EQ(m_main.VisiblePage(), Website());
    EXPECT_TRUE(IsShown(Website()));
    EXPECT_FALSE(IsShown(ThisPc()));
    EXPECT_TRUE(IsShown(list));
    SelectTab(0);
    EXPECT_EQ(m_main.VisiblePage(), ThisPc());
    EXPECT_FALSE(IsShown(Website()));
}

TEST_F(MainWindow, PageThatWasNotCreatedShowsNothing) {
    DestroyWindow(Website());
    ASSERT_EQ(Website(), nullptr);
    SelectTab(1);
    EXPECT_EQ(m_main.VisiblePage(), nullptr);
    EXPECT_FALSE(IsShown(ThisPc()));
}

TEST_F(MainWindow, EnterClosesTheProgramWithExitCodeZero) {
    Key(m_main.Tab(), VK_RETURN);
    EXPECT_FALSE(IsWindow(m_window));
    PumpMessages();
    EXPECT_TRUE(Pump().Quit);
    EXPECT_EQ(Pump().ExitCode, 0);
}

TEST_F(MainWindow, EscapeClosesTheProgram) {
    Key(m_main.Tab(), VK_ESCAPE);
    EXPECT_FALSE(IsWindow(m_window));
    PumpMessages();
    EXPECT_EQ(Pump().ExitCode, 0);
}

TEST_F(MainWindow, F5ReachesOnlyTheVisiblePage) {
    RecordPageCommands(ThisPc());
    RecordPageCommands(Website());
    Key(m_main.Tab(), VK_F5);
    EXPECT_EQ(g_pageCommands[ThisPc()], std::vector<WORD>{IDC_REFRESH});
    EXPECT_TRUE(g_pageCommands[Website()].empty());
    SelectTab(1);
    Key(m_main.Tab(), VK_F5);
    EXPECT_EQ(g_pageCommands[Website()], std::vector<WORD>{IDC_REFRESH});
    EXPECT_EQ(g_pageCommands[ThisPc()].size(), 1u);
    EXPECT_TRUE(IsWindow(m_window));
}

TEST_F(MainWindow, CommandThePageHandlesStopsThere) {
    // A page that claims Close keeps the window open.
    HWND page = ThisPc();
    SetWindowLongPtrW(page, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&ClaimEveryCommand));
    SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindow(m_window));
}

TEST_F(MainWindow, ClickingTheBasicUiLabelTurnsTheModeOff) {
    HWND label = Item(IDC_UI_LEVEL);
    PostMessageW(m_window, WM_CHAR, 2, 0);
    PumpMessages();
    ASSERT_TRUE(IsBasicUiMode());
    ASSERT_EQ(WindowText(label), L"UI Level: Basic");
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    DrainMessages();
    EXPECT_FALSE(IsBasicUiMode());
    EXPECT_EQ(WindowText(label), L"");
    // Clicking the empty label does nothing.
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_UI_LEVEL, STN_CLICKED), reinterpret_cast<LPARAM>(label));
    EXPECT_FALSE(IsBasicUiMode());
    EXPECT_EQ(WindowText(label), L"");
}

TEST_F(MainWindow, CheckBoxClickStoresLogging) {
    HWND check = Item(IDC_SHOW_LOGS);
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    DWORD stored = 99;
    DWORD size = sizeof(stored);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv\\Settings", L"Logging",
                           RRF_RT_REG_DWORD, nullptr, &stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(stored, 0u);
}

TEST_F(MainWindow, CopyPathPutsTheExactPathOnTheClipboard) {
    SetLastLogPath(L"C:\\users\\Ünïcode\\Temp\\VNI-260101-120000-2.txt");
    ScriptedMessageBoxes boxes;
    SendMessageW(m_window, WM_COMMAND, IDC_COPY_PATH, 0);
    EXPECT_EQ(ClipboardText(), LastLogPath());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MainWindow, CopyPathWhileAnotherWindowHoldsTheClipboardOnlyBeeps) {
    PutOnClipboard(L"before");
    SetLastLogPath(L"C:\\new.txt");
    ScriptedMessageBoxes boxes;
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.Holding());
        EXPECT_FALSE(CopyTextToClipboard(m_window, LastLogPath()));
        SendMessageW(m_window, WM_COMMAND, IDC_COPY_PATH, 0);
    }
    EXPECT_EQ(ClipboardText(), L"before");
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(IsWindow(m_window));
}

TEST_F(MainWindow, AboutButtonShowsTheModalAboutBox) {
    g_aboutCaption.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, OnAboutTimer);
    SendMessageW(m_window, WM_COMMAND, IDM_ABOUT, 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_aboutCaption, L"About ZIDezureziv");
    EXPECT_EQ(g_aboutVersion, L"ZIDezureziv Version 1.11");
    EXPECT_TRUE(IsWindow(m_window));
}

TEST_F(MainWindow, FinishedPackageDownloadsAreTakenOverCatalogueRequestsAreNot) {
    DownloadRequest catalogue;
    catalogue.Kind = DownloadKind::Archive;
    SendMessageW(m_window, kDownloadFinished, 0, reinterpret_cast<LPARAM>(&catalogue));
    EXPECT_EQ(catalogue.Kind, DownloadKind::Archive);  // still ours, not freed
    auto package = std::make_unique<DownloadRequest>();
    SendMessageW(m_window, kDownloadFinished, 0, reinterpret_cast<LPARAM>(package.release()));  // freed there
    SendMessageW(m_window, kDownloadFinished, 0, 0);
    SendMessageW(m_window, kDownloadProgress, 0, 0);
    EXPECT_TRUE(IsWindow(m_window));
}
