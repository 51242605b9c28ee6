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

// Two horizontal and two vertical dialog units of the system font, in pixels.
SIZE DialogMargins();

// Lays out the main window (tab control sized for the largest page, controls below it, window
// sized and placed on the primary monitor); inserts one tab per page, with its caption.
// Returns the area of the pages in the window's client co-ordinates.
RECT LayOutMainWindow(HWND window, const std::vector<PageTab>& pages);

}  // namespace zid
