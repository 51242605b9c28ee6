#include "thispc/thispc_page.h"

#include "resource.h"
#include "win/dialog.h"
#include "win/platform.h"

HWND CThisPcPage::Create(HWND parent, const DLGTEMPLATE* pageTemplate, const RECT& area) {
    m_area = area;
    return CreateDialogIndirectParamW(Platform().Instance, pageTemplate, parent, DialogThunk<CThisPcPage>,
                                      reinterpret_cast<LPARAM>(this));
}

void CThisPcPage::Refresh() {
    if (m_page)
        SendMessageW(m_page, WM_COMMAND, IDC_REFRESH, 0);
}

void CThisPcPage::PostRefresh() {
    if (m_page)
        PostMessageW(m_page, WM_COMMAND, IDC_REFRESH, 0);
}

INT_PTR CThisPcPage::OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CThisPcPage::OnInitDialog(HWND page) {
    m_page = page;
    m_list = GetDlgItem(page, IDC_LIST1);
    PlacePage(page, m_area);
    return TRUE;
}

INT_PTR CThisPcPage::OnCommand(WORD) {
    return FALSE;
}

void CThisPcPage::OnDestroy() {
    m_page = nullptr;
    m_list = nullptr;
}
