#include "ui/recent_menu.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

#include "ui/dpi.h"
#include "win/handles.h"

namespace zid {

namespace {

constexpr int kTextMargin = 8;  // pixels at 96 DPI kept free right of the text
constexpr size_t kPathBuffer = MAX_PATH;

// The page's device context for the lifetime of the object.
class CWindowDc {
public:
    explicit CWindowDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~CWindowDc() {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    CWindowDc(const CWindowDc&) = delete;
    CWindowDc& operator=(const CWindowDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// The path as the menu shows it: shortened with an ellipsis to width pixels.
std::wstring CompactPath(HDC dc, const std::wstring& path, int width) {
    std::wstring text(std::max(path.size() + 1, kPathBuffer), L'\0');
    path.copy(text.data(), path.size());
    PathCompactPathW(dc, text.data(), static_cast<UINT>(std::max(width, 0)));
    text.resize(wcslen(text.c_str()));
    return text;
}

// The small icon of the path's file type drawn on the menu colour; null when there is none.
UniqueBitmap MakeIconBitmap(HDC dc, const std::wstring& path, SIZE size, COLORREF background, HIMAGELIST icons) {
    if (path.empty() || path.back() == L'\\' || !icons)
        return {};
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                        SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        return {};
    UniqueBitmap bitmap(CreateCompatibleBitmap(dc, size.cx, size.cy));
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    if (!bitmap || !memory)
        return {};
    HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    ImageList_DrawEx(icons, info.iIcon, memory.get(), 0, 0, size.cx, size.cy, background, CLR_NONE, ILD_NORMAL);
    SelectObject(memory.get(), previous);
    return bitmap;
}

}  // namespace

int ShowRecentPackagesMenu(HWND page, HWND button, const std::vector<std::wstring>& paths, HIMAGELIST icons) {
    if (paths.empty())
        return 0;
    RECT pageRect{};
    RECT buttonRect{};
    GetWindowRect(page, &pageRect);
    GetWindowRect(button, &buttonRect);
    // The menu is drawn at the DPI of the page's monitor.
    const UINT dpi = WindowDpi(page);
    const int width = pageRect.right - buttonRect.left - ScaleForDpi(kTextMargin, dpi);
    const SIZE iconSize{MetricForDpi(SM_CXSMICON, dpi), MetricForDpi(SM_CYSMICON, dpi)};
    const COLORREF menuColour = GetSysColor(COLOR_MENU);

    UniqueMenu menu(CreatePopupMenu());
    std::vector<UniqueBitmap> bitmaps;
    {
        CWindowDc dc(page);
        UINT command = 1;
        for (const std::wstring& path : paths) {
            AppendMenuW(menu.get(), MF_STRING, command, CompactPath(dc.get(), path, width).c_str());
            if (UniqueBitmap bitmap = MakeIconBitmap(dc.get(), path, iconSize, menuColour, icons)) {
                MENUITEMINFOW item{};
                item.cbSize = sizeof(item);
                item.fMask = MIIM_CHECKMARKS;
                item.hbmpUnchecked = bitmap.get();
                SetMenuItemInfoW(menu.get(), command, FALSE, &item);
                bitmaps.push_back(std::move(bitmap));
            }
            ++command;
        }
    }

    // The pop-up belongs to the bar from here on: destroying the bar destroys both.
    UniqueMenu bar(CreateMenu());
    if (!bar || !AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(menu.get()), L"Install"))
        return 0;
    HMENU popup = menu.release();

    SendMessageW(button, BCM_SETDROPDOWNSTATE, TRUE, 0);
    const int chosen =
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY, buttonRect.left, buttonRect.bottom, 0, page, nullptr);
    bar.reset();
    SendMessageW(button, BCM_SETDROPDOWNSTATE, FALSE, 0);
    return chosen;
}

}  // namespace zid
