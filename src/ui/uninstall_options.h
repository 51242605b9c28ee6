// The uninstall-options dialog (130): keep or remove the user settings of a product that is removed.
#pragma once

#include <windows.h>

#include "ui/dpi.h"

namespace zid {

class CUninstallOptionsDialog {
public:
    // Shows the dialog owned by owner; IDOK with keep set to the choice, or IDCANCEL.
    int Show(HINSTANCE instance, HWND owner, bool& keep);

    // The dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog(HWND dialog);
    INT_PTR OnCommand(HWND dialog, WORD id);
    // Which radio button of the group that starts at the REMOVE button was checked.
    static int FindCheckedInGroup(HWND dialog);

    int m_checked = 0;
    CDialogDpi m_dpi;
};

}  // namespace zid
