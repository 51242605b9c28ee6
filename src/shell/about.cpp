#include "shell/about.h"

#include <commctrl.h>

#include "releases/website_address.h"
#include "resource.h"
#include "win/callback_guard.h"
#include "win/module_info.h"
#include "win/shell_open.h"

namespace {

INT_PTR OnAboutInit(HWND dialog) {
    const std::wstring line = GetVersionText();
    SetWindowTextW(dialog, (L"About " + GetProductName()).c_str());
    SetDlgItemTextW(dialog, IDC_VERSION, line.c_str());
    SetDlgItemTextW(dialog, IDC_COPYRIGHT, GetCopyright().c_str());
    return TRUE;
}

INT_PTR OnAboutNotify(const NMHDR& header) {
    if (header.idFrom != IDC_WEBSITE_LINK || (header.code != NM_CLICK && header.code != NM_RETURN))
        return FALSE;
    ShellOpen(GetWebsiteBase());
    return TRUE;
}

INT_PTR OnAboutCommand(HWND dialog, WORD id) {
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    EndDialog(dialog, id);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardCallback<INT_PTR>(FALSE, [&]() -> INT_PTR {
        switch (message) {
        case WM_INITDIALOG:
            return OnAboutInit(dialog);
        case WM_NOTIFY:
            return OnAboutNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND:
            return OnAboutCommand(dialog, LOWORD(wParam));
        default:
            return FALSE;
        }
    });
}
