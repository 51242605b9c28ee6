#include "releases/list_columns.h"

#include <commctrl.h>

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
        used += ListView_GetColumnWidth(list, column);
    }
    int rest = static_cast<int>(area->right - area->left) - used - GetSystemMetrics(SM_CXVSCROLL);
    // Negative widths would ask the list to size the column itself.
    if (rest < 0)
        rest = 0;
    ListView_SetColumnWidth(list, columns - 1, static_cast<WORD>(rest));
}
