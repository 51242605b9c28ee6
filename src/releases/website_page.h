// The "VN Website" page: releases offered by the product website.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "operations/installed_packages.h"
#include "win/dialog.h"

class CWebsitePage {
public:
    // installed: what This PC lists (the default build and the installs follow it).
    explicit CWebsitePage(IInstalledPackages& installed) : m_installed(installed) {}
    CWebsitePage(const CWebsitePage&) = delete;
    CWebsitePage& operator=(const CWebsitePage&) = delete;

    // Creates the page from its (child-style) template as a child of parent, placed in area; null on failure.
    // Once created it loads the catalogue (a posted Refresh).
    HWND Create(HWND parent, const DLGTEMPLATE* pageTemplate, const RECT& area);
    // The page window and its list (1001); null while the page does not exist.
    HWND Window() const { return m_page; }
    HWND List() const { return m_list; }

    // The href of each list row, in row order (links and rows are kept parallel by the catalogue).
    const std::vector<std::wstring>& Links() const { return m_links; }

    // Whether "64-Bit" is checked: the build the catalogue lists.
    bool Is64BitChecked() const;
    // Empties the list and the row links.
    void ClearRows();
    // Inserts a row of three texts at position and its link at the same position of the links.
    void InsertRow(int position, const std::wstring& package, const std::wstring& date, const std::wstring& note,
                   const std::wstring& link);
    // Appends a row with text in column 0; its position.
    int AppendRow(const std::wstring& text);
    // Sets column of row to text.
    void SetCell(int row, int column, const std::wstring& text);
    // Appends a link to the row links (the archive adds links apart from rows).
    void AppendLink(const std::wstring& link);
    // The status line above the list (1008).
    void SetStatus(const std::wstring& text);
    void EnableRefresh(bool enable);
    void EnableDownload(bool enable);
    // Column fitting of the list to area (its client area when null).
    void FitColumns(const RECT* area);

    // The page's dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend INT_PTR PageMessage<>(CWebsitePage& page, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    INT_PTR OnInitDialog(HWND page);
    INT_PTR OnCommand(WORD id, WORD code);
    INT_PTR OnNotify(const NMHDR& header);
    void OnDestroy();
    void CheckDefaultBuild();
    void SetUpList();
    void DownloadSelected();

    IInstalledPackages& m_installed;
    HWND m_page = nullptr;
    HWND m_list = nullptr;  // list control 1001
    RECT m_area{};
    std::vector<std::wstring> m_links;  // href of each list row, in row order
};
