// Fitting the columns of a report-view list to the width it has.
#pragma once

#include <windows.h>

namespace zid {

// Sizes every column but the last to its content and heading, and gives the last one the rest of
// area's width (the list's client area when area is null) less a vertical scroll bar at dpi, never
// below 0. Does nothing for a list without a header.
void FitListColumns(HWND list, const RECT* area, UINT dpi);

// Width a column needs at dpi to show its heading and every cell whole, with the padding of both.
int ColumnTextWidth(HWND list, int column, UINT dpi);

}  // namespace zid
