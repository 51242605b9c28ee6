#include "ui/uninstall_options.h"

#include "resource.h"
#include "ui/dialog.h"

namespace zid {

int CUninstallOptionsDialog::Show(HINSTANCE instance, HWND owner, bool& keep) {
    const auto answer = static_cast<int>(ShowDialogObject(*this, instance, IDD_UNINSTALL_OPTIONS, owner));
    if (answer == IDOK)
        keep = m_checked != IDC_REMOVE_SETTINGS;
    return answer;
}

INT_PTR CUninstallOptionsDialog::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_DPICHANGED:
        return m_dpi.OnDpiChanged(wParam, lParam);
    default:
        return FALSE;
    }
}

INT_PTR CUninstallOptionsDialog::OnInitDialog(HWND dialog) {
    m_dpi.Attach(dialog);
    CheckDlgButton(dialog, IDC_KEEP_SETTINGS, BST_CHECKED);
    return TRUE;
}

INT_PTR CUninstallOptionsDialog::OnCommand(HWND dialog, WORD id) {
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    m_checked = FindCheckedInGroup(dialog);
    EndDialog(dialog, id);
    return TRUE;
}

// The group runs from the REMOVE button to the next control that starts a group.
int CUninstallOptionsDialog::FindCheckedInGroup(HWND dialog) {
    HWND first = GetDlgItem(dialog, IDC_REMOVE_SETTINGS);
    for (HWND control = first; control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (control != first && (GetWindowLongW(control, GWL_STYLE) & WS_GROUP))
            break;
        if (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED)
            return GetDlgCtrlID(control);
    }
    return 0;
}

}  // namespace zid
