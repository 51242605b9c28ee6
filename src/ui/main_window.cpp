#include "ui/main_window.h"

#include <commctrl.h>

#include <cstring>
#include <memory>

#include "net/download_messages.h"
#include "net/download_request.h"
#include "resource.h"
#include "ui/about.h"
#include "ui/accessible_name.h"
#include "ui/dialog.h"
#include "ui/dpi.h"
#include "ui/main_window_layout.h"
#include "win/handles.h"
#include "win/module_info.h"

namespace zid {

namespace {

constexpr wchar_t kLoggingValue[] = L"Logging";
constexpr UINT kSimpleBeep = 0xFFFFFFFF;
constexpr WCHAR kCtrlB = 2;
constexpr ULONG_PTR kDialogClassAtom = 32770;  // WC_DIALOG, "#32770"

// The pages in tab order.
constexpr int kThisPcPage = 0;
constexpr int kWebsitePage = 1;

// The top-level dialog that msg is for when it is a modeless one of the program's own (the progress
// dialog), else the main window: its keys (Tab, Esc, Enter) are the dialog manager's.
HWND DialogOf(const MSG& msg, HWND main) {
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && root != main && GetClassLongPtrW(root, GCW_ATOM) == kDialogClassAtom)
        return root;
    return main;
}

// Ctrl+Tab (next page) and Ctrl+Shift+Tab (previous page), as in the system's own tabbed dialogs.
bool IsPageSwitchKey(const MSG& msg) {
    return msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0;
}

// The mouse messages the tool tips are told about: moves, buttons and the vertical wheel.
bool IsMouseMessage(UINT message) {
    return message >= WM_MOUSEFIRST && message <= WM_XBUTTONDBLCLK;
}

// The small icon in the size of dpi; the window shows it until it is given another.
UniqueIcon SetSmallIcon(HINSTANCE instance, HWND window, UINT dpi) {
    UniqueIcon icon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ZIDEZUREZIV), IMAGE_ICON,
                                                  MetricForDpi(SM_CXSMICON, dpi), MetricForDpi(SM_CYSMICON, dpi), 0)));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon.get()));
    return icon;
}

bool CopyIntoBlock(HGLOBAL block, const std::wstring& text) {
    void* memory = GlobalLock(block);
    if (!memory)
        return false;
    std::memcpy(memory, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    return true;
}

// The page keeps its list hidden until it has been shown once.
void RevealList(HWND page) {
    HWND list = GetDlgItem(page, IDC_LIST1);
    if (!list)
        return;
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    if (style & WS_VISIBLE)
        return;
    SetWindowLongW(list, GWL_STYLE, style | WS_VISIBLE);
    InvalidateRect(list, nullptr, TRUE);
}

}  // namespace

CMainWindow::CMainWindow(const PlatformFacts& platform, CSettingsStore& settings)
    : m_platform(platform), m_settings(settings) {}

CMainWindow::~CMainWindow() {
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
}

HWND CMainWindow::Create(const DownloadContext& downloads) {
    m_downloads = &downloads;
    m_accelerators = LoadAcceleratorsW(m_platform.Instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    return CreateDialogObject(*this, m_platform.Instance, IDD_MAIN, nullptr);
}

bool CMainWindow::PreTranslate(MSG& msg) {
    // While the window is disabled (an operation or a download is under way) its keys do nothing.
    if (m_accelerators && m_window && IsWindowEnabled(m_window) &&
        TranslateAcceleratorW(m_window, m_accelerators, &msg))
        return true;
    if (IsMouseMessage(msg.message)) {
        if (m_visiblePage && m_visiblePage == m_thisPc.Window())
            m_thisPc.ToolTips().Relay(msg);
    } else if (msg.message == WM_CHAR && msg.wParam == kCtrlB) {
        ToggleBasicUi();
        return true;
    }
    HWND dialog = DialogOf(msg, m_window);
    if (dialog == m_window && IsPageSwitchKey(msg) && IsWindowEnabled(m_window)) {
        SwitchPage(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
        return true;
    }
    return dialog && IsWindow(dialog) && IsDialogMessageW(dialog, &msg);
}

INT_PTR CMainWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_DPICHANGED:
        return OnDpiChanged(ChangedDpi(wParam), SuggestedRect(lParam));
    case WM_DESTROY:
        return OnDestroy();
    case kDownloadFinished:
        return OnDownloadFinished(lParam);
    case kDownloadProgress:
        return TRUE;
    default:
        return FALSE;
    }
}

HWND CMainWindow::PageWindow(int index) const {
    if (index == kThisPcPage)
        return m_thisPc.Window();
    if (index == kWebsitePage)
        return m_website.Window();
    return nullptr;
}

std::vector<PageTab> CMainWindow::Pages() const {
    return {{m_thisPc.Window(), LoadText(m_platform.Instance, IDS_THISPC_TAB)},
            {m_website.Window(), LoadText(m_platform.Instance, IDS_WEBSITE_TAB)}};
}

// The pages are created hidden (their templates are child dialogs), then placed once the tab control
// is laid out around the largest of them.
void CMainWindow::CreatePages() {
    m_thisPc.Create(m_window, m_downloads->Operations);
    m_website.Create(m_window, *m_downloads);
    const std::vector<PageTab> tabs = Pages();
    InsertPageTabs(m_window, tabs);
    LayOut(tabs, nullptr);
    // Tab order is the order of the children: the pages come right after their tabs, before the
    // controls below them.
    HWND previous = m_tab;
    for (const PageTab& tab : tabs) {
        if (!tab.Page)
            continue;
        SetWindowPos(tab.Page, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = tab.Page;
    }
}

void CMainWindow::LayOut(const std::vector<PageTab>& tabs, const POINT* corner) {
    m_pageArea = LayOutMainWindow(m_window, tabs, m_dpi.Dpi(), corner);
    for (const PageTab& tab : tabs) {
        if (tab.Page)
            PlacePage(tab.Page, m_pageArea);
    }
}

// The window moved to a monitor of another DPI, or that monitor's scaling changed.
INT_PTR CMainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    m_dpi.Change(dpi, suggested);
    const POINT corner{suggested.left, suggested.top};
    LayOut(Pages(), &corner);
    m_thisPc.OnDpiChanged(dpi);
    m_website.OnDpiChanged(dpi);
    m_icon = SetSmallIcon(m_platform.Instance, m_window, dpi);
    return TRUE;
}

INT_PTR CMainWindow::OnInitDialog(HWND window) {
    m_window = window;
    m_dpi.Attach(window);
    m_tab = GetDlgItem(window, IDC_TAB);
    m_visiblePage = nullptr;
    m_logPane.Attach(GetDlgItem(window, IDC_LOG));
    SetAccessibleName(GetDlgItem(window, IDC_LOG), L"Installer log");
    m_logPane.Clear();
    CreatePages();
    ShowSelectedPage();
    m_options.Logging = m_settings.ReadFlag(kLoggingValue);
    CheckDlgButton(window, IDC_SHOW_LOGS, m_options.Logging ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(window, IDC_UI_LEVEL, L"");
    m_options.BasicUi = false;
    EnableWindow(GetDlgItem(window, IDC_COPY_PATH), FALSE);
    m_icon = SetSmallIcon(m_platform.Instance, window, m_dpi.Dpi());
    return TRUE;
}

INT_PTR CMainWindow::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_TAB || header.code != TCN_SELCHANGE)
        return FALSE;
    ShowSelectedPage();
    return TRUE;
}

void CMainWindow::ToggleBasicUi() {
    m_options.BasicUi = !m_options.BasicUi;
    SetDlgItemTextW(m_window, IDC_UI_LEVEL, m_options.BasicUi ? L"UI Level: Basic" : L"");
}

void CMainWindow::OnUiLevelClicked() {
    if (m_options.BasicUi)
        ToggleBasicUi();
}

void CMainWindow::OnShowLogsClicked() {
    const auto state = static_cast<DWORD>(IsDlgButtonChecked(m_window, IDC_SHOW_LOGS));
    m_options.Logging = state == BST_CHECKED;
    m_settings.WriteFlag(kLoggingValue, state);
}

void CMainWindow::SetLastLogPath(std::wstring path) {
    m_lastLogPath = std::move(path);
    EnableWindow(GetDlgItem(m_window, IDC_COPY_PATH), !m_lastLogPath.empty());
}

void CMainWindow::OnCopyPath() {
    if (!CopyTextToClipboard(m_window, m_lastLogPath))
        MessageBeep(kSimpleBeep);
}

// Commands the visible page declined.
INT_PTR CMainWindow::OnOwnCommand(WORD id) {
    switch (id) {
    case IDOK:
        // Enter, where the page had nothing to do with it: the program stays (Close and Esc end it).
        return TRUE;
    case IDCANCEL:
        DestroyWindow(m_window);
        return TRUE;
    case IDM_ABOUT: {
        CAboutBox about(m_downloads->Operations.Prompt);
        about.Show(m_platform, m_window);
        return TRUE;
    }
    case IDC_SHOW_LOGS:
        OnShowLogsClicked();
        return TRUE;
    case IDC_UI_LEVEL:
        OnUiLevelClicked();
        return TRUE;
    case IDC_COPY_PATH:
        OnCopyPath();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CMainWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (m_visiblePage && SendMessageW(m_visiblePage, WM_COMMAND, wParam, lParam) != 0)
        return TRUE;
    return OnOwnCommand(LOWORD(wParam));
}

INT_PTR CMainWindow::OnDownloadFinished(LPARAM lParam) {
    auto* request = reinterpret_cast<DownloadRequest*>(lParam);
    if (!request)
        return TRUE;
    // A package request is handed over with this message: it ends here.
    std::unique_ptr<DownloadRequest> owned(IsHandedOver(*request) ? request : nullptr);
    if (!owned)
        m_website.OnCataloguePageFinished(*request);
    return TRUE;
}

INT_PTR CMainWindow::OnDestroy() {
    // The pages go with this window: no relay to a dead page, no message box owned by a dead window.
    m_visiblePage = nullptr;
    m_logPane.Attach(nullptr);
    m_tab = nullptr;
    m_window = nullptr;
    PostQuitMessage(0);
    return TRUE;
}

void CMainWindow::SwitchPage(int step) {
    const auto count = static_cast<int>(SendMessageW(m_tab, TCM_GETITEMCOUNT, 0, 0));
    if (count < 1)
        return;
    const auto selected = static_cast<int>(SendMessageW(m_tab, TCM_GETCURSEL, 0, 0));
    HWND previous = m_visiblePage;
    SendMessageW(m_tab, TCM_SETCURSEL, ((selected + step) % count + count) % count, 0);
    ShowSelectedPage();
    // Keys typed into a control that is hidden now would go nowhere.
    HWND focus = GetFocus();
    if (previous && previous != m_visiblePage && focus && IsChild(previous, focus))
        SetFocus(m_tab);
}

void CMainWindow::ShowSelectedPage() {
    const auto selected = static_cast<int>(SendMessageW(m_tab, TCM_GETCURSEL, 0, 0));
    if (selected != kThisPcPage && selected != kWebsitePage)
        return;
    if (m_visiblePage)
        ShowWindow(m_visiblePage, SW_HIDE);
    HWND page = PageWindow(selected);
    m_visiblePage = page;
    if (!page)
        return;
    if (selected == kWebsitePage)
        RevealList(page);
    ShowWindow(page, SW_SHOW);
}

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner))
        return false;
    UniqueGlobal block;  // freed here unless the clipboard accepted it
    bool accepted = false;
    if (EmptyClipboard()) {
        block.reset(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
        if (block && CopyIntoBlock(block.get(), text) && SetClipboardData(CF_UNICODETEXT, block.get())) {
            block.release();
            accepted = true;
        }
    }
    const bool closed = CloseClipboard() != FALSE;
    if (accepted && !closed)
        CloseClipboard();
    return accepted && closed;
}

}  // namespace zid
