#include "releases/website_page.h"

#include "shell/app.h"
#include "shell/callback_guard.h"
#include "shell/main_window.h"

INT_PTR CALLBACK WebsitePageProc(HWND page, UINT message, WPARAM, LPARAM) {
    return GuardCallback<INT_PTR>(FALSE, [&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            AttachPage(page, theApp.m_website.m_page, theApp.m_website.m_list);
            return TRUE;
        case WM_DESTROY:
            DetachPage(page, theApp.m_website.m_page, theApp.m_website.m_list);
            return FALSE;
        default:
            return FALSE;
        }
    });
}
