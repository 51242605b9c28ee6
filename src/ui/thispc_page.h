// The "This PC" page: installed packages and the actions on them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "operations/installed_packages.h"
#include "operations/operation_context.h"
#include "ui/dialog.h"
#include "ui/tool_tips.h"

namespace zid {

class CThisPcPage final : public IInstalledPackages {
public:
    CThisPcPage() = default;
    CThisPcPage(const CThisPcPage&) = delete;
    CThisPcPage& operator=(const CThisPcPage&) = delete;

    // Creates the page (hidden) as a child of parent; its operations run in context. Null on failure.
    HWND Create(HWND parent, const OperationContext& context);
    HWND Window() const { return m_page; }
    HWND List() const { return m_list; }
    const CToolTips& ToolTips() const { return m_tips; }

    const std::vector<InstalledPackage>& Records() const override { return m_packages; }
    int Count32() const override { return m_count32; }
    int Count64() const override { return m_count64; }
    void Refresh() override;
    void PostRefresh() override;

    // The page was drawn anew at dpi (its controls scaled already): the columns follow.
    void OnDpiChanged(UINT dpi);

    // Installs the package at path as a package file the user chose.
    std::optional<DWORD> Install(const std::wstring& path);

    // The page's dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend INT_PTR PageMessage<>(CThisPcPage& page, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    INT_PTR OnInitDialog(HWND page);
    INT_PTR OnCommand(WORD id, WORD code);
    INT_PTR OnNotify(const NMHDR& header);
    void OnDestroy();
    void CreateToolTips();
    void OnRefresh();
    void FitColumns();
    void OnSelectionChanged(const NMLISTVIEW& change);
    void OnLaunch();
    void OnRepair();
    void OnUninstall();
    void OnInstallPackage();
    void OnRecentPackages();
    void OnStartMenuShortcut(bool is64Bit);
    const InstalledPackage* SelectedRecord() const;

    const OperationContext* m_context = nullptr;
    HWND m_page = nullptr;
    HWND m_list = nullptr;  // list control 1001
    UINT m_dpi = 96;        // the DPI the page is drawn at
    CToolTips m_tips;
    std::vector<InstalledPackage> m_packages;  // a record's position is its record index
    int m_count32 = 0;
    int m_count64 = 0;
};

// Program file of an installed package: its install location with "Velonar.exe" appended.
std::wstring LaunchPath(const std::wstring& installLocation);

// Whether Launch may start LaunchPath(installLocation): only when the location is a full path (a
// drive's or a share's; a relative one would resolve against the current folder) and the program
// exists there as a file. 0, or an error with the reason to show.
DWORD CheckLaunchPath(const std::wstring& installLocation, std::wstring& reason);

// Full path of the common Start menu shortcut of a build ("...\Programs\Corrabel\Velonar[ (64 bit)].lnk"),
// or the failure code of finding the Start menu (path untouched).
HRESULT StartMenuShortcut(bool is64Bit, std::wstring& path);

}  // namespace zid
