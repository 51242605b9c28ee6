#include "ui/thispc_page.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwctype>

#include "operations/install_flow.h"
#include "operations/leftover_entry.h"
#include "operations/runner.h"
#include "operations/uninstall.h"
#include "packages/inventory.h"
#include "resource.h"
#include "ui/accessible_name.h"
#include "ui/busy_cursor.h"
#include "ui/dpi.h"
#include "ui/list_columns.h"
#include "ui/list_view.h"
#include "ui/recent_menu.h"
#include "ui/shell_open.h"
#include "win/errors.h"
#include "win/module_info.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

// OFN_NOCHANGEDIR: the dialog leaves the process's current folder where it was, so nothing the
// program finds by a relative name comes from the last folder the user browsed.
constexpr DWORD kOpenFileFlags =
    OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
constexpr wchar_t kOpenFileFilter[] = L"Installer Packages (*.msi)\0*.msi\0All Files (*.*)\0*.*\0";
constexpr int kToolTipControls[] = {IDC_LAUNCH, IDC_START_VN, IDC_START_VN64};

struct Column {
    const wchar_t* Heading;
    int Width;  // at 96 DPI
    int Format;
};
constexpr Column kColumns[] = {
    {L"Version", 100, LVCFMT_LEFT}, {L"Installed On", 100, LVCFMT_LEFT}, {L"Size", 70, LVCFMT_RIGHT}};

void EnableControl(HWND page, int id, bool enable) {
    EnableWindow(GetDlgItem(page, id), enable ? TRUE : FALSE);
}

// One row per entry: version, install date, size; the item data is the record's index. The list
// sorts it into place.
void InsertPackageRow(HWND list, InventoryEntry& entry, size_t recordIndex) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = INT_MAX;
    item.pszText = entry.Version.data();
    item.lParam = static_cast<LPARAM>(recordIndex);
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return;
    if (!entry.InstallDate.empty())
        SetListCell(list, row, 1, entry.InstallDate);
    if (!entry.Size.empty())
        SetListCell(list, row, 2, entry.Size);
}

// "X:\..." or "\\server\...": not relative to the current folder or the current drive.
bool IsFullPath(const std::wstring& path) {
    const bool drive =
        path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool share = path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\';
    return drive || share;
}

}  // namespace

std::wstring LaunchPath(const std::wstring& installLocation) {
    std::wstring path = installLocation;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return path + L"Velonar.exe";
}

DWORD CheckLaunchPath(const std::wstring& installLocation, std::wstring& reason) {
    if (!IsFullPath(installLocation)) {
        reason = L"The installation folder of this package is not a full path: \"" + ShownText(installLocation) +
                 L"\". Velonar is not started from it.";
        return ERROR_BAD_PATHNAME;
    }
    const DWORD attributes = GetFileAttributesW(LaunchPath(installLocation).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        reason = GetErrorText(error);
        return error;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        reason = L"This is a folder, not the program.";
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

HRESULT StartMenuShortcut(bool is64Bit, std::wstring& path) {
    wchar_t folder[MAX_PATH] = L"";
    const HRESULT result = SHGetFolderPathW(nullptr, CSIDL_COMMON_STARTMENU, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (FAILED(result))
        return result;
    path = std::wstring(folder) + L"\\Programs\\Corrabel\\Velonar" + (is64Bit ? L" (64 bit)" : L"") + L".lnk";
    return S_OK;
}

HWND CThisPcPage::Create(HWND parent, const OperationContext& context) {
    m_context = &context;
    return CreateDialogObject(*this, context.Platform.Instance, IDD_THISPC, parent);
}

void CThisPcPage::Refresh() {
    if (m_page)
        SendMessageW(m_page, WM_COMMAND, IDC_REFRESH, 0);
}

void CThisPcPage::PostRefresh() {
    if (m_page)
        PostMessageW(m_page, WM_COMMAND, IDC_REFRESH, 0);
}

INT_PTR CThisPcPage::OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return PageMessage(*this, page, message, wParam, lParam);
}

INT_PTR CThisPcPage::OnInitDialog(HWND page) {
    m_page = page;
    IPrompt& prompt = m_context->Prompt;
    HWND caption = GetDlgItem(page, IDC_CAPTION);
    if (!IsWindow(caption))
        TellError(prompt, L"IDC_CAPTION", ERROR_INVALID_WINDOW_HANDLE);
    SetWindowTextW(caption, L"");
    m_list = GetDlgItem(page, IDC_LIST1);
    if (!IsWindow(m_list))
        TellError(prompt, L"IDC_LIST1", ERROR_INVALID_WINDOW_HANDLE);

    SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    m_dpi = WindowDpi(page);
    SetAccessibleName(m_list, L"Installed Velonar Packages");
    for (int column = 0; column < static_cast<int>(std::size(kColumns)); ++column)
        InsertListColumn(m_list, column, kColumns[column].Heading, ScaleForDpi(kColumns[column].Width, m_dpi),
                         kColumns[column].Format);
    FitColumns();

    ShowWindow(GetDlgItem(page, IDC_START_VN64), SW_HIDE);
    PostRefresh();
    if (!m_context->Platform.Wine)
        CreateToolTips();
    return TRUE;
}

void CThisPcPage::CreateToolTips() {
    std::vector<std::pair<int, std::wstring>> tools;
    for (int id : kToolTipControls)
        tools.emplace_back(id, LoadText(m_context->Platform.Instance, static_cast<UINT>(id)));
    if (const DWORD error = m_tips.Create(m_context->Platform.Instance, m_page, tools))
        TellError(m_context->Prompt, L"Create tool tip", error);
}

INT_PTR CThisPcPage::OnCommand(WORD id, WORD) {
    switch (id) {
    case IDC_REFRESH:
        OnRefresh();
        break;
    case IDC_LAUNCH:
        OnLaunch();
        break;
    case IDC_REPAIR:
        OnRepair();
        break;
    case IDC_UNINSTALL:
        OnUninstall();
        break;
    case IDC_INSTALL:
        OnInstallPackage();
        break;
    case IDC_START_VN:
        OnStartMenuShortcut(false);
        break;
    case IDC_START_VN64:
        OnStartMenuShortcut(true);
        break;
    case IDOK:
        // Enter on a selected row of the list does what a double click does.
        if (GetFocus() != m_list || FirstSelectedRow(m_list) < 0)
            return FALSE;
        OnUninstall();
        break;
    default:
        return FALSE;
    }
    return PageHandledCommand(m_page);
}

INT_PTR CThisPcPage::OnNotify(const NMHDR& header) {
    if (header.idFrom == IDC_LIST1 && header.code == LVN_ITEMCHANGED) {
        OnSelectionChanged(reinterpret_cast<const NMLISTVIEW&>(header));
        return TRUE;
    }
    if (header.idFrom == IDC_LIST1 && header.code == NM_DBLCLK) {
        OnUninstall();
        return TRUE;
    }
    if (header.idFrom == IDC_INSTALL && header.code == BCN_DROPDOWN) {
        OnRecentPackages();
        return TRUE;
    }
    return FALSE;
}

void CThisPcPage::OnDestroy() {
    m_tips.Destroy();
    m_page = nullptr;
    m_list = nullptr;
}

void CThisPcPage::OnRefresh() {
    CWaitCursor busy;
    // The list is drawn once, when the refresh is over: each row added to a visible list would
    // otherwise lay out its scroll bars and invalidate it again, dozens of calls to the window
    // manager per row, many times what reading the row's registry entry costs.
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    scope_exit redraw([this] {
        SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(m_list, nullptr, TRUE);
    });
    m_packages.clear();
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    InventoryScan scan;
    m_count32 = ScanEveryView(m_context->Platform.Win64, scan);
    m_count64 = static_cast<int>(scan.Entries.size()) - m_count32;
    for (const InventoryFailure& failure : scan.Failures)
        TellError(m_context->Prompt, failure.Step, static_cast<DWORD>(failure.Status));
    // Entries of other programs that cannot be read: one line, not a box each on every refresh.
    if (const std::wstring skipped = DescribeSkippedEntries(scan.Skipped); !skipped.empty())
        m_context->Prompt.Log(skipped);
    for (InventoryEntry& entry : scan.Entries) {
        InsertPackageRow(m_list, entry, m_packages.size());
        m_packages.push_back(std::move(entry.Record));
    }

    FitColumns();
    const int count = static_cast<int>(m_packages.size());
    wchar_t group[64];
    swprintf(group, 64, L"Installed Velonar Package%ls (%d)", count >= 2 ? L"s" : L"", count);
    SetDlgItemTextW(m_page, IDC_INSTALLED_GROUP, group);
    if (count > 0) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(m_list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    } else {
        for (int id : {IDC_LAUNCH, IDC_REPAIR, IDC_UNINSTALL})
            EnableControl(m_page, id, false);
    }
    EnableControl(m_page, IDC_START_VN, m_count32 > 0);
    EnableControl(m_page, IDC_START_VN64, m_count64 > 0);
}

// Each column as wide as its width at this DPI, or as its heading or its widest cell where that
// is wider: a version, date or size in a larger font never ends in "...".
void CThisPcPage::FitColumns() {
    for (int column = 0; column < static_cast<int>(std::size(kColumns)); ++column) {
        const int width = std::max(ScaleForDpi(kColumns[column].Width, m_dpi), ColumnTextWidth(m_list, column, m_dpi));
        ListView_SetColumnWidth(m_list, column, width);
    }
}

void CThisPcPage::OnDpiChanged(UINT dpi) {
    m_dpi = dpi;
    FitColumns();
}

void CThisPcPage::OnSelectionChanged(const NMLISTVIEW& change) {
    bool canLaunch = false;
    bool canRepair = false;
    if (change.uNewState & LVIS_SELECTED) {
        const auto index = ListRowData(m_list, change.iItem, -1);
        if (index >= 0 && static_cast<size_t>(index) < m_packages.size()) {
            canLaunch = !m_packages[index].InstallLocation.empty();
            canRepair = !m_packages[index].UninstallString.empty();
        }
    }
    EnableControl(m_page, IDC_LAUNCH, canLaunch);
    EnableControl(m_page, IDC_REPAIR, canRepair);
    EnableControl(m_page, IDC_UNINSTALL, canRepair);
}

const InstalledPackage* CThisPcPage::SelectedRecord() const {
    const auto index = ListRowData(m_list, FirstSelectedRow(m_list), -1);
    if (index < 0 || static_cast<size_t>(index) >= m_packages.size())
        return nullptr;
    return &m_packages[index];
}

void CThisPcPage::OnLaunch() {
    const InstalledPackage* package = SelectedRecord();
    if (!package)
        return;
    IPrompt& prompt = m_context->Prompt;
    const std::wstring quoted = L"\"" + LaunchPath(package->InstallLocation) + L"\"";
    std::wstring reason;
    if (CheckLaunchPath(package->InstallLocation, reason) != ERROR_SUCCESS) {
        TellContext(prompt, ShownText(quoted), reason, MB_ICONERROR);
        return;
    }
    std::wstring commandLine = quoted;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Velonar starts in its own folder, not in ours (often Downloads): whatever it opens by a relative
    // name comes from where it is installed.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        package->InstallLocation.c_str(), &startup, &process)) {
        const DWORD error = GetLastError();
        TellError(prompt, ShownText(quoted), error);
        return;
    }
    UniqueHandle thread(process.hThread);
    UniqueHandle child(process.hProcess);
}

void CThisPcPage::OnRepair() {
    m_context->Prompt.ClearLog();
    const InstalledPackage* selected = SelectedRecord();
    if (!selected) {
        m_context->Prompt.Log(L"Cannot repair");
        return;
    }
    // A copy: a refresh while a question is open rebuilds the records.
    const InstalledPackage package = *selected;
    if (IsLeftoverEntry(package, m_context->Installer)) {
        OfferLeftoverRemoval(*m_context, package, OperationCommand::Repair, *this);
        return;
    }
    OperationRequest request;
    request.Command = OperationCommand::Repair;
    request.Package = package;
    RunOperation(request, *m_context);
}

void CThisPcPage::OnUninstall() {
    m_context->Prompt.ClearLog();
    const auto index = static_cast<int>(ListRowData(m_list, FirstSelectedRow(m_list), -1));
    UninstallPackage(*m_context, index, std::nullopt, *this);
}

std::optional<DWORD> CThisPcPage::Install(const std::wstring& path) {
    return InstallPackage(*m_context, path, *this);
}

void CThisPcPage::OnInstallPackage() {
    m_context->Prompt.ClearLog();
    wchar_t file[MAX_PATH] = L"";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_page;
    dialog.lpstrFilter = kOpenFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = L"Open Installer Package";
    dialog.Flags = kOpenFileFlags;
    if (GetOpenFileNameW(&dialog)) {
        Install(file);
        return;
    }
    if (const DWORD error = CommDlgExtendedError()) {
        wchar_t text[64];
        swprintf(text, 64, L"CommDlgExtendedError: 0x%04X", static_cast<unsigned>(error));
        TellContext(m_context->Prompt, L"GetOpenFileName", text, MB_ICONERROR);
    }
}

void CThisPcPage::OnRecentPackages() {
    // A copy: installing changes the list the menu was made from.
    const std::vector<std::wstring> recent = m_context->Settings.RecentPackages();
    const int chosen =
        ShowRecentPackagesMenu(m_page, GetDlgItem(m_page, IDC_INSTALL), recent, m_context->Platform.SmallIcons);
    if (chosen < 1 || static_cast<size_t>(chosen) > recent.size())
        return;
    m_context->Prompt.ClearLog();
    Install(recent[static_cast<size_t>(chosen) - 1]);
}

void CThisPcPage::OnStartMenuShortcut(bool is64Bit) {
    std::wstring shortcut;
    if (const HRESULT result = StartMenuShortcut(is64Bit, shortcut); FAILED(result)) {
        TellError(m_context->Prompt, is64Bit ? L"StartVN64" : L"StartVN", static_cast<DWORD>(result));
        return;
    }
    ShellOpen(m_context->Prompt, shortcut, m_context->Platform.Wine);
}

}  // namespace zid
