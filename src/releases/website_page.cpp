#include "releases/website_page.h"

#include "resource.h"
#include "win/dialog.h"
#include "win/platform.h"

HWND CWebsitePage::Create(HWND parent, const DLGTEMPLATE* pageTemplate, const RECT& area) {
    m_area = area;
    return CreateDialogIndirectParamW(Platform().Instance, pageTemplate, parent, DialogThunk<CWebsitePage>,
                                      reinterpret_cast<LPARAM>(this));
}

INT_PTR CWebsitePage::OnMessage(HWND page, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(page);
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CWebsitePage::OnInitDialog(HWND page) {
    m_page = page;
    m_list = GetDlgItem(page, IDC_LIST1);
    PlacePage(page, m_area);
    return TRUE;
}

void CWebsitePage::OnDestroy() {
    m_page = nullptr;
    m_list = nullptr;
}
