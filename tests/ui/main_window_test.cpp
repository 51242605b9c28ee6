// The main window created from its template in this process: layout, pages, keys through the
// program's pump, commands, Copy Path, and the prompt whose boxes it owns.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "net/download_engine.h"
#include "net/download_messages.h"
#include "net/download_request.h"
#include "resource.h"
#include "support/dialog_watcher.h"
#include "support/installer_stand_ins.h"
#include "support/test_util.h"
#include "ui/dialog.h"
#include "ui/dpi.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"
#include "ui/progress_dialog.h"
#include "ui/window_prompt.h"
#include "win/handles.h"
#include "win/message_pump.h"

namespace zid {

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

// Downloads are not started from these tests.
class CNoDownloadView final : public IDownloadView {
public:
    bool Show(const std::shared_ptr<DownloadProgress>&, const std::wstring&) override { return false; }
    HWND NotifyWindow() const override { return nullptr; }
    DownloadWait WaitForEnd(ULONGLONG) override { return DownloadWait::Cancelled; }
    void Hide() override {}
};

class MainWindow : public OperationsTest {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        m_settings.Open();
        m_window = m_main.Create(m_downloads);
        ASSERT_NE(m_window, nullptr);
        m_pump.SetFilter(&m_main);
        DrainMessages();
    }
    void TearDown() override {
        m_pump.SetFilter(nullptr);
        // The window ends the program as it goes: its quit message must not reach the next test's waits.
        if (m_main.Window())
            DestroyWindow(m_main.Window());
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
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
    // A key pressed on target, through the program's pump and the window's filter.
    void Key(HWND target, WPARAM key) {
        SetFocus(target);
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 0xC0000001);
        m_pump.PumpMessages();
    }

    CScriptedPrompt m_prompt;
    CScriptedInstaller m_installer;
    OperationContext m_operations = Context(m_prompt, m_installer);
    CVNInet m_engine;  // no session: the website page's loading fails quietly
    CNoDownloadView m_view;
    DownloadContext m_downloads{m_operations, m_engine, m_view};
    CMessagePump m_pump;
    CMainWindow m_main{m_platform, m_settings};
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

}  // namespace

TEST(Placement, CentredInTheWorkAreaAndNeverOutsideItsTopLeft) {
    const struct {
        RECT Work;
        POINT Corner;
    } cases[] = {
        {{0, 0, 1280, 1024}, {340, 312}},
        {{100, 50, 1380, 1074}, {440, 362}},
        {{10, 20, 410, 320}, {10, 20}},  // smaller than the window
    };
    for (const auto& c : cases) {
        const POINT corner = PlaceInWorkArea(c.Work, SIZE{600, 400});
        EXPECT_EQ(corner.x, c.Corner.x);
        EXPECT_EQ(corner.y, c.Corner.y);
    }
}

TEST_F(MainWindow, TabControlHoldsThePagesAndTheControlsLieBelowIt) {
    const SIZE margins = DialogMargins(WindowDpi(m_window));
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

    RECT display = tab;
    SendMessageW(m_main.Tab(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (HWND page : {ThisPc(), Website()}) {
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(GetParent(page), m_window);
        const RECT rect = ClientRectOf(m_window, page);
        EXPECT_TRUE(EqualRect(&rect, &display));
    }
}

TEST_F(MainWindow, FirstDisplayShowsThisPcWithEverythingReset) {
    EXPECT_EQ(SendMessageW(m_main.Tab(), TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(m_main.VisiblePage(), ThisPc());
    EXPECT_TRUE(IsShown(ThisPc()));
    EXPECT_FALSE(IsShown(Website()));
    EXPECT_EQ(WindowText(Item(IDC_UI_LEVEL)), L"");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_COPY_PATH)));
    EXPECT_EQ(SendMessageW(Item(IDC_SHOW_LOGS), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(m_main.Options().Logging);
    EXPECT_FALSE(m_main.Options().BasicUi);
    EXPECT_NE(SendMessageW(m_window, WM_GETICON, ICON_SMALL, 0), 0);
    const wchar_t* captions[] = {L"This PC", L"VN Website"};
    for (int index = 0; index < 2; ++index) {
        wchar_t text[32];
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 32;
        ASSERT_TRUE(SendMessageW(m_main.Tab(), TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item)));
        EXPECT_STREQ(text, captions[index]);
    }
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

// Enter never ends the program; Esc does, as Close does.
TEST_F(MainWindow, EnterKeepsTheProgramEscapeClosesItWithExitCodeZero) {
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        CMessagePump pump;
        pump.SetFilter(&m_main);
        SetFocus(key == VK_RETURN ? m_main.ThisPc().List() : m_main.Tab());
        PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
        pump.PumpMessages();
        pump.PumpMessages();
        EXPECT_EQ(IsWindow(m_window) != FALSE, key == VK_RETURN) << key;
        EXPECT_EQ(pump.Quit(), key == VK_ESCAPE) << key;
        if (key == VK_ESCAPE) {
            EXPECT_EQ(pump.ExitCode(), 0);
        }
    }
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
    // While an operation or a download has disabled the window, its keys do nothing.
    EnableWindow(m_window, FALSE);
    Key(m_main.Tab(), VK_F5);
    EnableWindow(m_window, TRUE);
    EXPECT_EQ(g_pageCommands[Website()].size(), 1u);
    EXPECT_TRUE(IsWindow(m_window));
}

// The keys of the program's modeless progress dialog are its own: Esc cancels it.
TEST_F(MainWindow, EscapeInTheProgressDialogCancelsTheDownload) {
    CProgressDialog dialog;
    UniqueWindow shown(dialog.Create(m_platform.Instance, m_window, std::make_shared<DownloadProgress>(), L"a.msi"));
    ASSERT_TRUE(shown);
    PostMessageW(GetDlgItem(shown.get(), IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
    m_pump.PumpMessages();
    EXPECT_TRUE(dialog.Done());
    EXPECT_EQ(dialog.Result(), kDownloadCancelled);
    EXPECT_TRUE(IsWindow(m_window));
}

TEST_F(MainWindow, CommandThePageHandlesStopsThere) {
    // A page that claims Close keeps the window open.
    SetWindowLongPtrW(ThisPc(), DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&ClaimEveryCommand));
    SendMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindow(m_window));
}

// Ctrl+B turns basic UI mode on and off; a click on its label turns it off, a click on the empty label
// does nothing.
TEST_F(MainWindow, CtrlBAndTheLabelSwitchBasicUiMode) {
    HWND label = Item(IDC_UI_LEVEL);
    PostMessageW(m_main.Tab(), WM_CHAR, 2, 0);
    m_pump.PumpMessages();
    ASSERT_TRUE(m_main.Options().BasicUi);
    ASSERT_EQ(WindowText(label), L"UI Level: Basic");
    PostMessageW(m_main.Tab(), WM_CHAR, 2, 0);
    m_pump.PumpMessages();
    EXPECT_FALSE(m_main.Options().BasicUi);
    m_main.ToggleBasicUi();
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    DrainMessages();
    EXPECT_FALSE(m_main.Options().BasicUi);
    EXPECT_EQ(WindowText(label), L"");
    SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDC_UI_LEVEL, STN_CLICKED), reinterpret_cast<LPARAM>(label));
    EXPECT_FALSE(m_main.Options().BasicUi);
    EXPECT_EQ(WindowText(label), L"");
}

TEST_F(MainWindow, CheckBoxClickStoresLogging) {
    HWND check = Item(IDC_SHOW_LOGS);
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(m_main.Options().Logging);
    DWORD stored = 99;
    DWORD size = sizeof(stored);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv\\Settings", L"Logging",
                           RRF_RT_REG_DWORD, nullptr, &stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(stored, 0u);
}

TEST_F(MainWindow, CopyPathPutsTheExactPathOnTheClipboard) {
    m_main.SetLastLogPath(L"C:\\users\\\u00DCn\u00EFcode\\Temp\\VNI-260101-120000-2.txt");
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_COPY_PATH)));
    SendMessageW(m_window, WM_COMMAND, IDC_COPY_PATH, 0);
    EXPECT_EQ(ClipboardText(), m_main.LastLogPath());
    EXPECT_TRUE(m_prompt.Boxes().empty());
}

TEST_F(MainWindow, CopyPathWhileAnotherWindowHoldsTheClipboardOnlyBeeps) {
    PutOnClipboard(L"before");
    m_main.SetLastLogPath(L"C:\\new.txt");
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.Holding());
        EXPECT_FALSE(CopyTextToClipboard(m_window, m_main.LastLogPath()));
        SendMessageW(m_window, WM_COMMAND, IDC_COPY_PATH, 0);
    }
    EXPECT_EQ(ClipboardText(), L"before");
    EXPECT_TRUE(m_prompt.Boxes().empty());
    EXPECT_TRUE(IsWindow(m_window));
}

// The About box is modal and owned by the main window; the window's prompt captions its boxes with the
// program's name and gives them the same owner.
TEST_F(MainWindow, AboutBoxAndPromptBoxesAreOwnedByTheWindow) {
    HWND aboutOwner = nullptr;
    {
        CDialogWatcher about(L"About ZIDezureziv", [&](HWND box) {
            aboutOwner = GetWindow(box, GW_OWNER);
            PressButton(box, IDOK);
        });
        SendMessageW(m_window, WM_COMMAND, IDM_ABOUT, 0);
        EXPECT_TRUE(about.Seen());
    }
    EXPECT_EQ(aboutOwner, m_window);

    CWindowPrompt prompt(m_platform, m_main);
    HWND boxOwner = nullptr;
    std::wstring boxText;
    CDialogWatcher box(L"ZIDezureziv", [&](HWND shown) {
        boxOwner = GetWindow(shown, GW_OWNER);
        boxText = WindowText(GetDlgItem(shown, 0xFFFF));
        PressButton(shown, IDNO);
    });
    EXPECT_EQ(prompt.Ask({QuestionKind::DebugBuild, L"Go on?", MB_YESNO | MB_ICONQUESTION}), IDNO);
    EXPECT_TRUE(box.Seen());
    EXPECT_EQ(boxOwner, m_window);
    EXPECT_EQ(boxText, L"Go on?");
    prompt.Log(L"told");
    EXPECT_TRUE(WindowText(Item(IDC_LOG)).ends_with(L" told\r\n"));
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

// A move to a monitor of 1.5 times the DPI, as Windows reports it: the window takes the suggested
// corner, everything grows by the change, the log pane stays as wide as the tab control, and This
// PC's columns are their widths at 144 DPI.
TEST_F(MainWindow, DpiChangeLaysEverythingOutAgainAtTheNewDpi) {
    const UINT dpi = WindowDpi(m_window);
    const RECT tab = ClientRectOf(m_window, m_main.Tab());
    const RECT suggested{40, 30, 40 + 600, 30 + 500};
    SendMessageW(m_window, WM_DPICHANGED, MAKEWPARAM(dpi * 3 / 2, dpi * 3 / 2), reinterpret_cast<LPARAM>(&suggested));
    RECT window{};
    GetWindowRect(m_window, &window);
    EXPECT_EQ(window.left, 40);
    EXPECT_EQ(window.top, 30);
    const RECT grown = ClientRectOf(m_window, m_main.Tab());
    EXPECT_NEAR(grown.right - grown.left, (tab.right - tab.left) * 3 / 2, 4);
    const RECT log = ClientRectOf(m_window, Item(IDC_LOG));
    EXPECT_EQ(log.left, grown.left);
    EXPECT_EQ(log.right, grown.right);
    RECT client{};
    GetClientRect(m_window, &client);
    EXPECT_GT(client.bottom, log.bottom);
    for (const auto& [column, width] : {std::pair{0, 150}, std::pair{1, 150}, std::pair{2, 105}})
        EXPECT_GE(ListView_GetColumnWidth(m_main.ThisPc().List(), column), width * static_cast<int>(dpi) / 96);
}

// Ctrl+Tab and Ctrl+Shift+Tab go round the pages either way.
TEST_F(MainWindow, CtrlTabSwitchesPages) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    const struct {
        bool Shift;
        HWND Shown;
    } presses[] = {{false, Website()}, {false, ThisPc()}, {true, Website()}};
    for (const auto& press : presses) {
        keys[VK_SHIFT] = press.Shift ? 0x80 : 0;
        SetKeyboardState(keys);
        Key(m_main.ThisPc().List(), VK_TAB);
        EXPECT_EQ(m_main.VisiblePage(), press.Shown);
    }
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

}  // namespace zid
