// The "VN Website" page: releases offered by the product website.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "operations/installed_packages.h"

class CWebsitePage {
public:
    // installed: what This PC lists (the default build and the installs follow it).
    explicit CWebsitePage(IInstalledPackages& installed) : m_installed(installed) {}
    CWebsitePage(const CWebsitePage&) = delete;
    CWebsitePage& operator=(const CWebsitePage&) = delete;

    // Creates the page from its (child-style) template as a child of parent, placed in area; null on failure.
    HWND Create(HWND parent, const DLGTEMPLATE* pageTemplate, const RECT& area);
    HWND Window() const { return m_page; }
    HWND List() const { return m_list; }

    // The page's dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog(HWND page);
    void OnDestroy();

    IInstalledPackages& m_installed;
    HWND m_page = nullptr;
    HWND m_list = nullptr;  // list control 1001
    RECT m_area{};
    std::vector<std::wstring> m_links;  // href of each list row, in row order
};
