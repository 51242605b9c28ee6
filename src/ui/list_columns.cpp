#include "ui/list_columns.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace zid {

namespace {

// Room a header item keeps on both sides of its text.
constexpr int kHeadingPadding = 16;

// Width of a column's heading text with the header item's padding; 0 when it cannot be read.
int HeadingWidth(HWND list, int column) {
    wchar_t heading[128] = L"";
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT;
    item.pszText = heading;
    item.cchTextMax = static_cast<int>(std::size(heading));
    if (!ListView_GetColumn(list, column, &item))
        return 0;
    return ListView_GetStringWidth(list, heading) + kHeadingPadding;
}

}  // namespace

void FitListColumns(HWND list, const RECT* area) {
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
        // Some list views leave the heading's padding out of that width.
        const int width = std::max(ListView_GetColumnWidth(list, column), HeadingWidth(list, column));
        ListView_SetColumnWidth(list, column, width);
        used += width;
    }
    int rest = static_cast<int>(area->right - area->left) - used - GetSystemMetrics(SM_CXVSCROLL);
    // Negative widths would ask the list to size the column itself.
    if (rest < 0)
        rest = 0;
    ListView_SetColumnWidth(list, columns - 1, static_cast<WORD>(rest));
}

}  // namespace zid
