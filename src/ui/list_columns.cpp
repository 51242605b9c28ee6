#include "ui/list_columns.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "ui/dpi.h"

namespace zid {

namespace {

// Room a header item and a cell keep on both sides of their text, at 96 DPI.
constexpr int kHeadingPadding = 16;
constexpr int kCellPadding = 12;

// Width of a column's heading text with the header item's padding; 0 when it cannot be read.
int HeadingWidth(HWND list, int column, UINT dpi) {
    wchar_t heading[128] = L"";
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT;
    item.pszText = heading;
    item.cchTextMax = static_cast<int>(std::size(heading));
    if (!ListView_GetColumn(list, column, &item))
        return 0;
    return ListView_GetStringWidth(list, heading) + ScaleForDpi(kHeadingPadding, dpi);
}

}  // namespace

// The list's own sizing keeps the same padding at every DPI, too little for a large font.
int ColumnTextWidth(HWND list, int column, UINT dpi) {
    int width = HeadingWidth(list, column, dpi);
    const int rows = ListView_GetItemCount(list);
    for (int row = 0; row < rows; ++row) {
        wchar_t text[260] = L"";
        ListView_GetItemText(list, row, column, text, static_cast<int>(std::size(text)));
        width = std::max(width, ListView_GetStringWidth(list, text) + ScaleForDpi(kCellPadding, dpi));
    }
    return width;
}

void FitListColumns(HWND list, const RECT* area, UINT dpi) {
    HWND header = ListView_GetHeader(list);
    if (!header)
        return;
    RECT client{};
    if (!area) {
        GetClientRect(list, &client);
        area = &client;
    }
    const int columns = Header_GetItemCount(header);
    if (columns < 1)
        return;
    int used = 0;
    for (int column = 0; column + 1 < columns; ++column) {
        ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE_USEHEADER);
        // Some list views leave the heading's padding out of that width, or keep theirs at 96 DPI.
        const int width = std::max(ListView_GetColumnWidth(list, column), ColumnTextWidth(list, column, dpi));
        ListView_SetColumnWidth(list, column, width);
        used += width;
    }
    int rest = static_cast<int>(area->right - area->left) - used - MetricForDpi(SM_CXVSCROLL, dpi);
    // Negative widths would ask the list to size the column itself.
    if (rest < 0)
        rest = 0;
    ListView_SetColumnWidth(list, columns - 1, static_cast<WORD>(rest));
}

}  // namespace zid
