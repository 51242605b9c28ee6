// The "This PC" page: installed packages and the actions on them.
#pragma once

#include <windows.h>

#include <vector>

#include "packages/installed_package.h"

struct CThisPcPageState {
    HWND m_page = nullptr;  // first field: the page stores its own window here
    HWND m_list = nullptr;  // list control 1001
    std::vector<InstalledPackage> m_packages;  // a record's position is its record index
    int m_count32 = 0;  // packages found in the 32-bit view by the last refresh
    int m_count64 = 0;  // packages found in the 64-bit view by the last refresh
};

// Dialog procedure of the page created from template 129.
INT_PTR CALLBACK ThisPcPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
