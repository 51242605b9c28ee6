// Small wrappers of the list-view messages the pages use.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace zid {

// Appends a column with a heading, a width in pixels (0: none given) and an LVCFMT_ alignment.
void InsertListColumn(HWND list, int column, const wchar_t* heading, int width = 0, int format = LVCFMT_LEFT);

// Sets the text of one cell.
void SetListCell(HWND list, int row, int column, const std::wstring& text);

// The first row in the selected state, or -1.
int FirstSelectedRow(HWND list);

// The item data of a row; fallback when the row cannot be read.
LPARAM ListRowData(HWND list, int row, LPARAM fallback);

// The text of one cell (empty when it cannot be read).
std::wstring ListCellText(HWND list, int row, int column);

}  // namespace zid
