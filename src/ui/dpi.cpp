#include "ui/dpi.h"

#include <vector>

namespace zid {

namespace {

// The per-monitor functions exist from Windows 10 (1607, 1703 for the dialogs); before that the
// program is drawn at the system DPI, which the fallbacks give.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);

template <typename Function>
Function User32Function(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT ScreenDpi() {
    HDC screen = GetDC(nullptr);
    if (!screen)
        return kDefaultDpi;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

// A child rectangle in its parent's client co-ordinates, scaled from one DPI to another.
void ScaleChild(HWND parent, HWND child, UINT from, UINT to) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    const auto scale = [&](LONG value) { return MulDiv(value, static_cast<int>(to), static_cast<int>(from)); };
    const int left = scale(rect.left);
    const int top = scale(rect.top);
    SetWindowPos(child, nullptr, left, top, scale(rect.right) - left, scale(rect.bottom) - top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

bool IsChildDialog(HWND window) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    return lstrcmpW(name, L"#32770") == 0;
}

// Every control of dialog, and of the dialogs inside it, scaled and given font. The dialogs keep
// the font they were made with: they delete their own font when they go.
void ScaleControls(HWND dialog, UINT from, UINT to, HFONT font) {
    for (HWND child : Children(dialog)) {
        ScaleChild(dialog, child, from, to);
        if (IsChildDialog(child))
            ScaleControls(child, from, to, font);
        else
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

}  // namespace

UINT WindowDpi(HWND window) {
    static const auto forWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (forWindow && window) {
        if (const UINT dpi = forWindow(window))
            return dpi;
    }
    return SystemDpi();
}

UINT SystemDpi() {
    static const auto forSystem = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
    return forSystem ? forSystem() : ScreenDpi();
}

int ScaleForDpi(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

int MetricForDpi(int index, UINT dpi) {
    static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi)
        return forDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

void KeepOwnLayout(HWND dialog) {
    static const auto behaviour = User32Function<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
    if (behaviour)
        behaviour(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
}

void CDialogDpi::Attach(HWND dialog) {
    m_dialog = dialog;
    m_dpi = WindowDpi(dialog);
    m_fontDpi = m_dpi;
    KeepOwnLayout(dialog);
    m_scaled.reset();
    m_font = LOGFONTW{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    if (!font || !GetObjectW(font, sizeof(m_font), &m_font))
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(m_font), &m_font);
}

void CDialogDpi::Change(UINT dpi, const RECT& suggested) {
    if (!m_dialog || dpi == 0)
        return;
    if (dpi != m_dpi) {
        LOGFONTW font = m_font;
        font.lfHeight = MulDiv(m_font.lfHeight, static_cast<int>(dpi), static_cast<int>(m_fontDpi));
        UniqueFont scaled(CreateFontIndirectW(&font));
        HFONT shown = scaled ? scaled.get() : reinterpret_cast<HFONT>(SendMessageW(m_dialog, WM_GETFONT, 0, 0));
        ScaleControls(m_dialog, m_dpi, dpi, shown);
        // The controls hold the old font until they were given the new one: only then may it go.
        if (scaled)
            m_scaled = std::move(scaled);
        m_dpi = dpi;
    }
    SetWindowPos(m_dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(m_dialog, nullptr, TRUE);
}

INT_PTR CDialogDpi::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    Change(ChangedDpi(wParam), SuggestedRect(lParam));
    return TRUE;
}

}  // namespace zid
