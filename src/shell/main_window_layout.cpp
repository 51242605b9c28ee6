#include "shell/main_window_layout.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "resource.h"

namespace {

// Offsets into the two template layouts (DLGTEMPLATEEX begins with version 1 and 0xFFFF).
struct TemplateLayout {
    size_t style;
    size_t width;
    size_t height;
    size_t menu;  // the menu field; the window class and the caption follow it
};
constexpr TemplateLayout kExtendedLayout{12, 22, 24, 26};
constexpr TemplateLayout kPlainLayout{0, 14, 16, 18};

constexpr WORD kOrdinalMarker = 0xFFFF;  // a name field holding an ordinal; also the extended template's mark
constexpr DWORD kAllButPopupAndChild = 0x3FFFFFFF;

constexpr int kMovedControls[] = {IDC_UI_LEVEL, IDC_SHOW_LOGS, IDC_COPY_PATH, IDC_LOG, IDCANCEL, IDM_ABOUT};

bool ReadWord(const std::vector<BYTE>& bytes, size_t offset, WORD& word) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(WORD))
        return false;
    std::memcpy(&word, bytes.data() + offset, sizeof(WORD));
    return true;
}

bool IsExtendedTemplate(const std::vector<BYTE>& bytes) {
    WORD version = 0;
    WORD signature = 0;
    return ReadWord(bytes, 0, version) && ReadWord(bytes, 2, signature) && version == 1 && signature == kOrdinalMarker;
}

const TemplateLayout& LayoutOf(const std::vector<BYTE>& bytes) {
    return IsExtendedTemplate(bytes) ? kExtendedLayout : kPlainLayout;
}

// Steps over a field that is one zero word, 0xFFFF and an ordinal, or a zero-terminated text.
bool SkipNameOrOrdinal(const std::vector<BYTE>& bytes, size_t& offset) {
    WORD word = 0;
    if (!ReadWord(bytes, offset, word))
        return false;
    if (word == kOrdinalMarker) {
        offset += 2 * sizeof(WORD);
        return offset <= bytes.size();
    }
    while (word != 0) {
        offset += sizeof(WORD);
        if (!ReadWord(bytes, offset, word))
            return false;
    }
    offset += sizeof(WORD);
    return true;
}

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

// Adds one tab per template, captioned from it, and returns the largest page size in dialog units.
RECT PreparePages(HWND tab, std::vector<PageTemplate>& pages) {
    RECT units{};
    for (size_t index = 0; index < pages.size(); ++index) {
        std::vector<BYTE>& bytes = pages[index].Bytes;
        MakeChildTemplate(bytes);
        std::wstring caption;
        ReadTemplateCaption(bytes, caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = caption.data();
        item.iImage = -1;
        SendMessageW(tab, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
        SIZE size{};
        if (ReadTemplateSize(bytes, size)) {
            units.right = std::max(units.right, size.cx);
            units.bottom = std::max(units.bottom, size.cy);
        }
    }
    return units;
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

void SizeAndPlaceWindow(HWND window, const RECT& tabRect, LONG lowest, SIZE margins) {
    const SIZE size{tabRect.right + 2 * GetSystemMetrics(SM_CXDLGFRAME) + margins.cx,
                    2 * (margins.cy + GetSystemMetrics(SM_CYDLGFRAME)) + GetSystemMetrics(SM_CYCAPTION) + lowest};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const POINT corner = PlaceInWorkArea(monitor.rcWork, size);
    SetWindowPos(window, nullptr, corner.x, corner.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

PageTemplate LoadPageTemplate(HINSTANCE module, int id) {
    PageTemplate page;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    if (!resource)
        return page;
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const auto* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (bytes && size > 0)
        page.Bytes.assign(bytes, bytes + size);
    return page;
}

bool MakeChildTemplate(std::vector<BYTE>& bytes) {
    const size_t offset = LayoutOf(bytes).style;
    DWORD style = 0;
    if (bytes.size() < offset + sizeof(style))
        return false;
    std::memcpy(&style, bytes.data() + offset, sizeof(style));
    style = (style & kAllButPopupAndChild) | WS_CHILD;
    std::memcpy(bytes.data() + offset, &style, sizeof(style));
    return true;
}

bool ReadTemplateCaption(const std::vector<BYTE>& bytes, std::wstring& caption) {
    size_t offset = LayoutOf(bytes).menu;
    if (!SkipNameOrOrdinal(bytes, offset) || !SkipNameOrOrdinal(bytes, offset))
        return false;
    std::wstring text;
    WORD word = 0;
    for (;;) {
        if (!ReadWord(bytes, offset, word))
            return false;
        if (word == 0)
            break;
        text.push_back(static_cast<wchar_t>(word));
        offset += sizeof(WORD);
    }
    caption = std::move(text);
    return true;
}

bool ReadTemplateSize(const std::vector<BYTE>& bytes, SIZE& size) {
    const TemplateLayout& layout = LayoutOf(bytes);
    WORD width = 0;
    WORD height = 0;
    if (!ReadWord(bytes, layout.width, width) || !ReadWord(bytes, layout.height, height))
        return false;
    size.cx = static_cast<SHORT>(width);
    size.cy = static_cast<SHORT>(height);
    return true;
}

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

SIZE DialogMargins() {
    const LONG units = GetDialogBaseUnits();
    return SIZE{2 * (LOWORD(units) / 4), 2 * (HIWORD(units) / 8)};
}

RECT LayOutMainWindow(HWND window, std::vector<PageTemplate>& pages) {
    const SIZE margins = DialogMargins();
    HWND tab = GetDlgItem(window, IDC_TAB);
    const RECT oldTab = ClientRectOf(window, tab);

    RECT tabRect = PreparePages(tab, pages);
    MapDialogRect(window, &tabRect);
    SendMessageW(tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
    OffsetRect(&tabRect, margins.cx - tabRect.left, margins.cy - tabRect.top);

    RECT pageRect = tabRect;
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pageRect));
    MoveControl(tab, tabRect);

    const LONG lowest = MoveControlsBelowTab(window, tabRect, tabRect.bottom - oldTab.bottom);
    SizeAndPlaceWindow(window, tabRect, lowest, margins);
    return pageRect;
}
