#include "ui/list_view.h"

#include <commctrl.h>

namespace zid {

void InsertListColumn(HWND list, int column, const wchar_t* heading, int width, int format) {
    LVCOLUMNW description{};
    description.mask = LVCF_TEXT | LVCF_FMT | (width > 0 ? LVCF_WIDTH : 0);
    description.fmt = format;
    description.cx = width;
    description.pszText = const_cast<wchar_t*>(heading);
    SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&description));
}

void SetListCell(HWND list, int row, int column, const std::wstring& text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int FirstSelectedRow(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

LPARAM ListRowData(HWND list, int row, LPARAM fallback) {
    if (row < 0)
        return fallback;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return fallback;
    return item.lParam;
}

std::wstring ListCellText(HWND list, int row, int column) {
    wchar_t text[512] = L"";
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    const auto length = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return std::wstring(text, static_cast<size_t>(length));
}

}  // namespace zid
