#include "ui/about.h"

#include <commctrl.h>

#include "releases/website_address.h"
#include "resource.h"
#include "ui/dialog.h"
#include "ui/shell_open.h"
#include "win/module_info.h"

namespace zid {

void CAboutBox::Show(const PlatformFacts& platform, HWND owner) {
    m_wine = platform.Wine;
    ShowDialogObject(*this, platform.Instance, IDD_ABOUTBOX, owner);
}

INT_PTR CAboutBox::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_DPICHANGED:
        return m_dpi.OnDpiChanged(wParam, lParam);
    default:
        return FALSE;
    }
}

INT_PTR CAboutBox::OnInitDialog(HWND dialog) {
    m_dpi.Attach(dialog);
    const OwnVersion own = ReadOwnVersion();
    SetWindowTextW(dialog, (L"About " + own.ProductName).c_str());
    SetDlgItemTextW(dialog, IDC_VERSION, VersionLine(own).c_str());
    SetDlgItemTextW(dialog, IDC_COPYRIGHT, own.Copyright.c_str());
    return TRUE;
}

INT_PTR CAboutBox::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_WEBSITE_LINK || (header.code != NM_CLICK && header.code != NM_RETURN))
        return FALSE;
    ShellOpen(m_prompt, GetWebsiteBase(), m_wine);
    return TRUE;
}

INT_PTR CAboutBox::OnCommand(HWND dialog, WORD id) {
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    EndDialog(dialog, id);
    return TRUE;
}

}  // namespace zid
