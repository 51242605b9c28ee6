#include "shell/main_window.h"

#include <commctrl.h>

#include <cstring>
#include <memory>
#include <vector>

#include "log/installer_log.h"
#include "releases/catalogue_pages.h"
#include "releases/download_request.h"
#include "releases/website_page.h"
#include "resource.h"
#include "shell/about.h"
#include "shell/app.h"
#include "shell/callback_guard.h"
#include "shell/handles.h"
#include "shell/main_window_layout.h"
#include "shell/settings.h"
#include "thispc/thispc_page.h"

namespace {

constexpr UINT kDownloadFinished = WM_APP;      // lParam: the finished CDownloadRequest
constexpr UINT kDownloadProgress = WM_APP + 1;  // meant for the progress dialog
constexpr wchar_t kLoggingValue[] = L"Logging";

// The pages in tab order.
struct PageEntry {
    int templateId;
    DLGPROC procedure;
};
constexpr PageEntry kPages[] = {{IDD_THISPC, ThisPcPageProc}, {IDD_WEBSITE, WebsitePageProc}};
constexpr int kWebsitePage = 1;

// The first field of each page state: the page's window, stored by the page itself.
HWND& PageWindow(int index) {
    return index == 0 ? theApp.m_thisPc.m_page : theApp.m_website.m_page;
}

void CreatePages(HWND window, const std::vector<CPageTemplate>& templates) {
    for (int index = 0; index < static_cast<int>(std::size(kPages)); ++index) {
        PageWindow(index) = nullptr;
        if (!templates[index].m_bytes.empty())
            CreateDialogIndirectParamW(theApp.m_instance, templates[index].get(), window,
                                       kPages[index].procedure, 0);
    }
}

void SetSmallIcon(HWND window) {
    // Shared: the system keeps the icon, so nobody destroys it.
    auto icon = static_cast<HICON>(LoadImageW(theApp.m_instance, MAKEINTRESOURCEW(IDI_ZIDEZUREZIV), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                              LR_SHARED));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

INT_PTR OnInitDialog(HWND window) {
    std::vector<CPageTemplate> templates;
    for (const PageEntry& page : kPages)
        templates.push_back(LoadPageTemplate(theApp.m_instance, page.templateId));
    LayOutMainWindow(window, templates);
    theApp.m_visiblePage = nullptr;
    CreatePages(window, templates);
    ShowSelectedPage();
    theApp.m_mainWindow = window;
    LoadCheckSetting(window, kLoggingValue, IDC_SHOW_LOGS);
    SetDlgItemTextW(window, IDC_UI_LEVEL, L"");
    theApp.m_basicUi = false;
    EnableWindow(GetDlgItem(window, IDC_COPY_PATH), FALSE);
    ClearLogPane();
    SetSmallIcon(window);
    return TRUE;
}

INT_PTR OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_TAB || header.code != TCN_SELCHANGE)
        return FALSE;
    ShowSelectedPage();
    return TRUE;
}

void OnUiLevelClicked(HWND window) {
    if (!theApp.m_basicUi)
        return;
    theApp.m_basicUi = false;
    SetDlgItemTextW(window, IDC_UI_LEVEL, L"");
}

void OnCopyPath(HWND window) {
    if (!CopyTextToClipboard(window, theApp.m_lastLogPath))
        MessageBeep(0xFFFFFFFF);
}

// Commands the visible page declined.
INT_PTR OnOwnCommand(HWND window, WORD id) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
        DestroyWindow(window);
        return TRUE;
    case IDM_ABOUT:
        DialogBoxParamW(theApp.m_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutProc, 0);
        return TRUE;
    case IDC_SHOW_LOGS:
        SaveCheckSetting(window, kLoggingValue, IDC_SHOW_LOGS);
        return TRUE;
    case IDC_UI_LEVEL:
        OnUiLevelClicked(window);
        return TRUE;
    case IDC_COPY_PATH:
        OnCopyPath(window);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (theApp.m_visiblePage && SendMessageW(theApp.m_visiblePage, WM_COMMAND, wParam, lParam) != 0)
        return TRUE;
    return OnOwnCommand(window, LOWORD(wParam));
}

INT_PTR OnDownloadFinished(LPARAM lParam) {
    auto* request = reinterpret_cast<CDownloadRequest*>(lParam);
    if (!request)
        return TRUE;
    zid::scope_exit release([request] { ReleaseDownloadRequest(request); });
    if (request->m_kind == 0 || request->m_kind == 1)
        OnCataloguePageFinished(*request, theApp.m_website);
    return TRUE;
}

INT_PTR OnDestroy() {
    // The pages go with this window; the pump must not relay mouse messages to a dead page.
    theApp.m_visiblePage = nullptr;
    PostQuitMessage(0);
    return TRUE;
}

bool CopyIntoBlock(HGLOBAL block, const std::wstring& text) {
    void* memory = GlobalLock(block);
    if (!memory)
        return false;
    std::memcpy(memory, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    return true;
}

LRESULT OnToolTipWindowFromPoint(HWND toolTip, WPARAM wParam, LPARAM lParam, WNDPROC previous) {
    HWND page = theApp.m_visiblePage;
    if (!page || !lParam) {
        return previous ? CallWindowProcW(previous, toolTip, TTM_WINDOWFROMPOINT, wParam, lParam)
                        : DefWindowProcW(toolTip, TTM_WINDOWFROMPOINT, wParam, lParam);
    }
    POINT point = *reinterpret_cast<const POINT*>(lParam);
    ScreenToClient(page, &point);
    return reinterpret_cast<LRESULT>(RealChildWindowFromPoint(page, point));
}

}  // namespace

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardCallback<INT_PTR>(FALSE, [&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(window);
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND:
            return OnCommand(window, wParam, lParam);
        case WM_DESTROY:
            return OnDestroy();
        case kDownloadFinished:
            return OnDownloadFinished(lParam);
        case kDownloadProgress:
            return TRUE;
        default:
            return FALSE;
        }
    });
}

void ShowSelectedPage() {
    const auto selected = static_cast<int>(SendMessageW(theApp.m_tab, TCM_GETCURSEL, 0, 0));
    if (selected != 0 && selected != kWebsitePage)
        return;
    if (theApp.m_visiblePage)
        ShowWindow(theApp.m_visiblePage, SW_HIDE);
    HWND page = PageWindow(selected);
    theApp.m_visiblePage = page;
    if (!page)
        return;
    if (selected == kWebsitePage) {
        // The page keeps its list hidden until it has been shown once.
        HWND list = GetDlgItem(page, IDC_LIST1);
        const LONG style = list ? GetWindowLongW(list, GWL_STYLE) : WS_VISIBLE;
        if (!(style & WS_VISIBLE)) {
            SetWindowLongW(list, GWL_STYLE, style | WS_VISIBLE);
            InvalidateRect(list, nullptr, TRUE);
        }
    }
    ShowWindow(page, SW_SHOW);
}

void AttachPage(HWND page, HWND& pageSlot, HWND& listSlot) {
    pageSlot = page;
    listSlot = GetDlgItem(page, IDC_LIST1);
    const RECT& area = theApp.m_pageRect;
    SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void DetachPage(HWND page, HWND& pageSlot, HWND& listSlot) {
    if (pageSlot != page)
        return;
    pageSlot = nullptr;
    listSlot = nullptr;
}

INT_PTR PageHandledCommand(HWND page) {
    SetWindowLongPtrW(page, DWLP_MSGRESULT, TRUE);
    return TRUE;
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

LRESULT CALLBACK ToolTipProc(HWND toolTip, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardCallback<LRESULT>(0, [&]() -> LRESULT {
        const auto found = theApp.m_toolTips.find(toolTip);
        const WNDPROC previous = found != theApp.m_toolTips.end() ? *found->second : nullptr;
        if (message == TTM_WINDOWFROMPOINT)
            return OnToolTipWindowFromPoint(toolTip, wParam, lParam, previous);
        if (previous)
            return CallWindowProcW(previous, toolTip, message, wParam, lParam);
        return DefWindowProcW(toolTip, message, wParam, lParam);
    });
}

void RegisterToolTip(HWND toolTip) {
    // Installing twice would make the shared procedure its own predecessor.
    if (!toolTip || GetWindowLongPtrW(toolTip, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ToolTipProc))
        return;
    std::unique_ptr<WNDPROC>& cell = theApp.m_toolTips[toolTip];
    cell = std::make_unique<WNDPROC>(nullptr);
    *cell = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(toolTip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ToolTipProc)));
}
