#include "shell/main_window.h"

#include <commctrl.h>

#include <cstring>
#include <memory>

#include "log/installer_log.h"
#include "net/download_messages.h"
#include "net/download_request.h"
#include "operations/basic_ui.h"
#include "operations/runner.h"
#include "releases/catalogue_pages.h"
#include "resource.h"
#include "shell/about.h"
#include "win/dialog.h"
#include "win/handles.h"
#include "win/platform.h"
#include "win/program.h"
#include "win/settings.h"
#include "win/tool_tips.h"

namespace {

constexpr wchar_t kLoggingValue[] = L"Logging";
constexpr UINT kSimpleBeep = 0xFFFFFFFF;

// The pages in tab order.
constexpr int kPageTemplates[] = {IDD_THISPC, IDD_WEBSITE};
constexpr int kThisPcPage = 0;
constexpr int kWebsitePage = 1;

void SetSmallIcon(HWND window) {
    // Shared: the system keeps the icon, so nobody destroys it.
    auto icon = static_cast<HICON>(LoadImageW(Platform().Instance, MAKEINTRESOURCEW(IDI_ZIDEZUREZIV), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
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

CMainWindow::~CMainWindow() {
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
}

HWND CMainWindow::Create(HINSTANCE instance) {
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogThunk<CMainWindow>,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CMainWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
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

void CMainWindow::CreatePages(const std::vector<PageTemplate>& templates) {
    if (!templates[kThisPcPage].Bytes.empty())
        m_thisPc.Create(m_window, templates[kThisPcPage].get(), m_pageArea);
    if (!templates[kWebsitePage].Bytes.empty())
        m_website.Create(m_window, templates[kWebsitePage].get(), m_pageArea);
}

INT_PTR CMainWindow::OnInitDialog(HWND window) {
    m_window = window;
    m_tab = GetDlgItem(window, IDC_TAB);
    std::vector<PageTemplate> templates;
    for (int id : kPageTemplates)
        templates.push_back(LoadPageTemplate(Platform().Instance, id));
    m_pageArea = LayOutMainWindow(window, templates);
    m_visiblePage = nullptr;
    CreatePages(templates);
    ShowSelectedPage();
    SetMainWindow(window);
    LoadCheckSetting(window, kLoggingValue, IDC_SHOW_LOGS);
    SetDlgItemTextW(window, IDC_UI_LEVEL, L"");
    SetBasicUiMode(false);
    EnableWindow(GetDlgItem(window, IDC_COPY_PATH), FALSE);
    ClearLogPane();
    SetSmallIcon(window);
    return TRUE;
}

INT_PTR CMainWindow::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_TAB || header.code != TCN_SELCHANGE)
        return FALSE;
    ShowSelectedPage();
    return TRUE;
}

void CMainWindow::ToggleBasicUi() {
    SetBasicUiMode(!IsBasicUiMode());
    SetDlgItemTextW(m_window, IDC_UI_LEVEL, IsBasicUiMode() ? L"UI Level: Basic" : L"");
}

void CMainWindow::OnUiLevelClicked() {
    if (!IsBasicUiMode())
        return;
    SetBasicUiMode(false);
    SetDlgItemTextW(m_window, IDC_UI_LEVEL, L"");
}

void CMainWindow::OnCopyPath() {
    if (!CopyTextToClipboard(m_window, LastLogPath()))
        MessageBeep(kSimpleBeep);
}

// Commands the visible page declined.
INT_PTR CMainWindow::OnOwnCommand(WORD id) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
        DestroyWindow(m_window);
        return TRUE;
    case IDM_ABOUT:
        DialogBoxParamW(Platform().Instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), m_window, AboutProc, 0);
        return TRUE;
    case IDC_SHOW_LOGS:
        SaveCheckSetting(m_window, kLoggingValue, IDC_SHOW_LOGS);
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
        OnCataloguePageFinished(*request, m_website);
    return TRUE;
}

INT_PTR CMainWindow::OnDestroy() {
    // The pages go with this window: no relay to a dead page, no message box owned by a dead window.
    m_visiblePage = nullptr;
    SetToolTipPage(nullptr);
    SetMainWindow(nullptr);
    m_tab = nullptr;
    m_window = nullptr;
    PostQuitMessage(0);
    return TRUE;
}

void CMainWindow::ShowSelectedPage() {
    const auto selected = static_cast<int>(SendMessageW(m_tab, TCM_GETCURSEL, 0, 0));
    if (selected != kThisPcPage && selected != kWebsitePage)
        return;
    if (m_visiblePage)
        ShowWindow(m_visiblePage, SW_HIDE);
    HWND page = PageWindow(selected);
    m_visiblePage = page;
    SetToolTipPage(page);
    if (!page)
        return;
    if (selected == kWebsitePage)
        RevealList(page);
    ShowWindow(page, SW_SHOW);
}

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner))
        return false;
    zid::UniqueGlobal block;  // freed here unless the clipboard accepted it
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
