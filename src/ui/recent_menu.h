// The drop-down of the Install Package... split button: the recently used package files.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace zid {

// Shows the recent packages as a menu below button (paths shortened to fit right of it on page,
// each with its file type's small icon from icons); the chosen entry's position from 1, or 0 for none.
int ShowRecentPackagesMenu(HWND page, HWND button, const std::vector<std::wstring>& paths, HIMAGELIST icons);

}  // namespace zid
