#include "ui/website_page.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "releases/catalogue_pages.h"
#include "releases/download_install.h"
#include "resource.h"
#include "ui/accessible_name.h"
#include "ui/busy_cursor.h"
#include "ui/dpi.h"
#include "ui/list_columns.h"
#include "ui/list_view.h"

namespace zid {

namespace {

constexpr DWORD kListStyles = LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
constexpr const wchar_t* kHeadings[] = {L"Package", L"Release Date", L"Note"};
// Notification codes of a command that means "do it": a click, a menu item, an accelerator (F5).
constexpr WORD kClicked = BN_CLICKED;
constexpr WORD kAccelerator = 1;

}  // namespace

HWND CWebsitePage::Create(HWND parent, const DownloadContext& context) {
    m_context = &context;
    return CreateDialogObject(*this, context.Operations.Platform.Instance, IDD_WEBSITE, parent);
}

INT_PTR CWebsitePage::OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR)
        return OnSetCursor(page);
    return PageMessage(*this, page, message, wParam, lParam);
}

// While the catalogue loads, the page says so under the pointer; the mouse still works.
INT_PTR CWebsitePage::OnSetCursor(HWND page) {
    if (!IsCatalogueLoading())
        return FALSE;
    SetWindowLongPtrW(page, DWLP_MSGRESULT, SetWorkingCursor());
    return TRUE;
}

INT_PTR CWebsitePage::OnInitDialog(HWND page) {
    m_page = page;
    m_dpi = WindowDpi(page);
    CheckDefaultBuild();
    m_list = GetDlgItem(page, IDC_LIST1);
    SetAccessibleName(m_list, L"Available Packages");
    EnableDownload(false);
    SetUpList();
    // The catalogue loads once the main window is up.
    PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_REFRESH, kClicked), 0);
    return TRUE;
}

// The build of the installed packages, or the 64-bit one where it can run and nothing says otherwise.
// At start-up This PC has not been read yet, so both counts are 0.
void CWebsitePage::CheckDefaultBuild() {
    if (!m_context->Operations.Platform.Win64) {
        EnableWindow(GetDlgItem(m_page, IDC_BUILD64), FALSE);
        CheckRadioButton(m_page, IDC_BUILD32, IDC_BUILD64, IDC_BUILD32);
        return;
    }
    const bool only32 = m_installed.Count32() > 0 && m_installed.Count64() <= 0;
    CheckRadioButton(m_page, IDC_BUILD32, IDC_BUILD64, only32 ? IDC_BUILD32 : IDC_BUILD64);
}

void CWebsitePage::SetUpList() {
    ListView_SetExtendedListViewStyle(m_list, kListStyles);
    for (int column = 0; column < static_cast<int>(std::size(kHeadings)); ++column)
        InsertListColumn(m_list, column, kHeadings[column]);
    FitColumns();
}

INT_PTR CWebsitePage::OnCommand(WORD id, WORD code) {
    if (code != kClicked && code != kAccelerator)
        return FALSE;
    switch (id) {
    case IDC_DOWNLOAD_INSTALL:
        DownloadSelected();
        return PageHandledCommand(m_page);
    case IDOK:
        // Enter on a selected row of the list does what a double click does.
        if (GetFocus() != m_list || ListView_GetSelectedCount(m_list) == 0)
            return FALSE;
        DownloadSelected();
        return PageHandledCommand(m_page);
    case IDC_REFRESH:
    case IDC_BUILD32:
    case IDC_BUILD64:
        RefreshCatalogue(*this, m_context->Engine);
        return PageHandledCommand(m_page);
    default:
        return FALSE;
    }
}

INT_PTR CWebsitePage::OnNotify(const NMHDR& header) {
    if (header.hwndFrom != m_list)
        return FALSE;
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) && ((change.uOldState ^ change.uNewState) & LVIS_SELECTED))
            EnableDownload(ListView_GetSelectedCount(m_list) > 0);
        return TRUE;
    }
    if (header.code == NM_DBLCLK) {
        DownloadSelected();
        return TRUE;
    }
    return FALSE;
}

void CWebsitePage::DownloadSelected() {
    const int row = FirstSelectedRow(m_list);
    const bool linked = row >= 0 && static_cast<size_t>(row) < m_links.size();
    DownloadAndInstall(*m_context, linked ? m_links[row] : std::wstring(), m_installed);
}

void CWebsitePage::OnCataloguePageFinished(DownloadRequest& request) {
    if (m_page)
        zid::OnCataloguePageFinished(request, *this, m_context->Engine);
}

void CWebsitePage::OnDestroy() {
    m_page = nullptr;
    m_list = nullptr;
}

bool CWebsitePage::Is64BitChecked() const {
    return IsDlgButtonChecked(m_page, IDC_BUILD64) == BST_CHECKED;
}

void CWebsitePage::ClearRows() {
    ListView_DeleteAllItems(m_list);
    m_links.clear();
}

void CWebsitePage::InsertRow(int position, const std::wstring& package, const std::wstring& date,
                             const std::wstring& note, const std::wstring& link) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = position;
    item.pszText = const_cast<wchar_t*>(package.c_str());
    const auto row = static_cast<int>(SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    SetListCell(m_list, row, 1, date);
    SetListCell(m_list, row, 2, note);
    const size_t at = std::min(static_cast<size_t>(std::max(position, 0)), m_links.size());
    m_links.insert(m_links.begin() + static_cast<std::ptrdiff_t>(at), link);
}

int CWebsitePage::AppendRow(const std::wstring& text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(m_list);
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void CWebsitePage::SetCell(int row, int column, const std::wstring& text) {
    SetListCell(m_list, row, column, text);
}

void CWebsitePage::AppendLink(const std::wstring& link) {
    m_links.push_back(link);
}

void CWebsitePage::SetStatus(const std::wstring& text) {
    SetDlgItemTextW(m_page, IDC_CAPTION, text.c_str());
}

void CWebsitePage::EnableRefresh(bool enable) {
    EnableWindow(GetDlgItem(m_page, IDC_REFRESH), enable);
}

void CWebsitePage::EnableDownload(bool enable) {
    EnableWindow(GetDlgItem(m_page, IDC_DOWNLOAD_INSTALL), enable);
}

void CWebsitePage::BeginRows() {
    GetClientRect(m_list, &m_rowsArea);
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
}

void CWebsitePage::EndRows() {
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
    FitListColumns(m_list, &m_rowsArea, m_dpi);
}

void CWebsitePage::FitColumns() {
    FitListColumns(m_list, nullptr, m_dpi);
}

void CWebsitePage::OnDpiChanged(UINT dpi) {
    m_dpi = dpi;
    FitColumns();
}

}  // namespace zid
