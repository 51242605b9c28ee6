// Layout of the main window: tabs for its pages, moved controls, size and placement.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zid {

// A page of the main window as its tab shows it.
struct PageTab {
    HWND Page = nullptr;  // created already (a child of the main window), or null when it could not be
    std::wstring Caption;
};

// Top-left corner for a window of this size: centred in the work area, pulled back inside its
// right and bottom edges, and never left of or above its left and top edges.
POINT PlaceInWorkArea(const RECT& work, SIZE window);

// Two horizontal and two vertical dialog units of the system font, in pixels at dpi.
SIZE DialogMargins(UINT dpi);

// Inserts one tab per page into the main window's tab control, with its caption.
void InsertPageTabs(HWND window, const std::vector<PageTab>& pages);

// Lays out the main window at dpi: the tab control sized for the largest page, the controls below
// it, the window sized for them and placed with its top-left corner at corner, or, without one,
// on the primary monitor. Returns the area of the pages in the window's client co-ordinates.
RECT LayOutMainWindow(HWND window, const std::vector<PageTab>& pages, UINT dpi, const POINT* corner = nullptr);

}  // namespace zid
