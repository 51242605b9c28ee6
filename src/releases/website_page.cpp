#include "releases/website_page.h"

#include "resource.h"
#include "shell/app.h"
#include "shell/callback_guard.h"

namespace {

INT_PTR OnInitDialog(HWND page) {
    theApp.m_website.m_page = page;
    theApp.m_website.m_list = GetDlgItem(page, IDC_LIST1);
    const RECT& area = theApp.m_pageRect;
    SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

INT_PTR OnDestroy(HWND page) {
    if (theApp.m_website.m_page == page) {
        theApp.m_website.m_page = nullptr;
        theApp.m_website.m_list = nullptr;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK WebsitePageProc(HWND page, UINT message, WPARAM, LPARAM) {
    return GuardCallback<INT_PTR>(FALSE, [&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(page);
        case WM_DESTROY:
            return OnDestroy(page);
        default:
            return FALSE;
        }
    });
}
