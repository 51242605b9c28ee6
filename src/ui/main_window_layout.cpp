#include "ui/main_window_layout.h"

#include <commctrl.h>

#include <algorithm>

#include "resource.h"
#include "ui/dpi.h"

namespace zid {

namespace {

constexpr int kMovedControls[] = {IDC_UI_LEVEL, IDC_SHOW_LOGS, IDC_COPY_PATH, IDC_LOG, IDCANCEL, IDM_ABOUT};

RECT ClientRectOf(HWND window, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MoveControl(HWND control, const RECT& rect) {
    SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The largest page size in pixels.
RECT LargestPage(const std::vector<PageTab>& pages) {
    RECT size{};
    for (const PageTab& tab : pages) {
        RECT page{};
        if (tab.Page && GetWindowRect(tab.Page, &page)) {
            size.right = std::max(size.right, page.right - page.left);
            size.bottom = std::max(size.bottom, page.bottom - page.top);
        }
    }
    return size;
}

// Moves the listed controls down by dy; the log pane also takes the tab control's left edge and
// width. Returns the lowest bottom edge among them, starting from the tab control's.
LONG MoveControlsBelowTab(HWND window, const RECT& tabRect, LONG dy) {
    LONG lowest = tabRect.bottom;
    for (int id : kMovedControls) {
        HWND control = GetDlgItem(window, id);
        if (!control)
            continue;
        RECT rect = ClientRectOf(window, control);
        OffsetRect(&rect, 0, dy);
        if (id == IDC_LOG) {
            rect.right = tabRect.right;
            rect.left = tabRect.left;
        }
        MoveControl(control, rect);
        lowest = std::max(lowest, rect.bottom);
    }
    return lowest;
}

void SizeAndPlaceWindow(HWND window, const RECT& tabRect, LONG lowest, SIZE margins, UINT dpi, const POINT* at) {
    const SIZE size{tabRect.right + 2 * MetricForDpi(SM_CXDLGFRAME, dpi) + margins.cx,
                    2 * (margins.cy + MetricForDpi(SM_CYDLGFRAME, dpi)) + MetricForDpi(SM_CYCAPTION, dpi) + lowest};
    POINT corner{};
    if (at) {
        corner = *at;
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
        corner = PlaceInWorkArea(monitor.rcWork, size);
    }
    SetWindowPos(window, nullptr, corner.x, corner.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

POINT PlaceInWorkArea(const RECT& work, SIZE window) {
    auto place = [](LONG low, LONG high, LONG extent) {
        LONG start = (low + high) / 2 - extent / 2;
        if (start + extent > high)
            start = high - extent;
        if (start < low)
            start = low;
        return start;
    };
    return POINT{place(work.left, work.right, window.cx), place(work.top, work.bottom, window.cy)};
}

// The system font is given at the system DPI; the window may be on a monitor of another.
SIZE DialogMargins(UINT dpi) {
    const LONG units = GetDialogBaseUnits();
    const UINT system = SystemDpi();
    const auto scale = [&](int value) { return MulDiv(value, static_cast<int>(dpi), static_cast<int>(system)); };
    return SIZE{2 * (scale(LOWORD(units)) / 4), 2 * (scale(HIWORD(units)) / 8)};
}

void InsertPageTabs(HWND window, const std::vector<PageTab>& pages) {
    HWND tab = GetDlgItem(window, IDC_TAB);
    for (size_t index = 0; index < pages.size(); ++index) {
        std::wstring caption = pages[index].Caption;
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = caption.data();
        item.iImage = -1;
        SendMessageW(tab, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
    }
}

RECT LayOutMainWindow(HWND window, const std::vector<PageTab>& pages, UINT dpi, const POINT* corner) {
    const SIZE margins = DialogMargins(dpi);
    HWND tab = GetDlgItem(window, IDC_TAB);
    const RECT oldTab = ClientRectOf(window, tab);

    RECT tabRect = LargestPage(pages);
    SendMessageW(tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
    OffsetRect(&tabRect, margins.cx - tabRect.left, margins.cy - tabRect.top);

    RECT pageRect = tabRect;
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pageRect));
    MoveControl(tab, tabRect);

    const LONG lowest = MoveControlsBelowTab(window, tabRect, tabRect.bottom - oldTab.bottom);
    SizeAndPlaceWindow(window, tabRect, lowest, margins, dpi, corner);
    return pageRect;
}

}  // namespace zid
