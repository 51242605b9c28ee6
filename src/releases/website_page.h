// The "VN Website" page: releases offered by the product website.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CWebsitePageState {
    HWND m_page = nullptr;  // first field: the page stores its own window here
    HWND m_list = nullptr;  // list control 1001
    std::vector<std::wstring> m_links;  // href of each list row, in row order
};

// Dialog procedure of the page created from template 132.
INT_PTR CALLBACK WebsitePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
