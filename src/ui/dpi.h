// The DPI a window is drawn at, pixel sizes for it, and dialogs that follow a change of it.
#pragma once

#include <windows.h>

#include "win/handles.h"

namespace zid {

constexpr UINT kDefaultDpi = 96;

// The DPI of window's monitor as the system draws it (the system DPI where the system cannot say).
UINT WindowDpi(HWND window);

// The DPI the system metrics and the system font are given at.
UINT SystemDpi();

// pixels at 96 DPI, at dpi.
int ScaleForDpi(int pixels, UINT dpi);

// A system metric (GetSystemMetrics index) at dpi.
int MetricForDpi(int index, UINT dpi);

// Keeps the dialog manager from rescaling dialog (a page too) by itself when the DPI changes: the
// program lays its dialogs out itself (the main window around its pages), which that would undo.
void KeepOwnLayout(HWND dialog);

// A dialog that follows the DPI of its monitor: the dialog manager keeps its hands off it, and a
// change moves the dialog to the rectangle the system suggests, gives it and its controls (those of
// child dialogs too) a font for the new DPI and scales their rectangles by the change.
class CDialogDpi {
public:
    // Starts following dialog, drawn now at its window's DPI with the font it has.
    void Attach(HWND dialog);
    UINT Dpi() const { return m_dpi; }
    // WM_DPICHANGED: dpi is the new DPI, suggested the window rectangle the system proposes.
    void Change(UINT dpi, const RECT& suggested);
    // WM_DPICHANGED of a dialog that needs nothing more: Change with the message's parameters.
    INT_PTR OnDpiChanged(WPARAM wParam, LPARAM lParam);

private:
    HWND m_dialog = nullptr;
    UINT m_dpi = kDefaultDpi;
    UINT m_fontDpi = kDefaultDpi;  // the DPI m_font's height was made for
    LOGFONTW m_font{};
    UniqueFont m_scaled;  // the font of the current DPI, once it changed
};

// The new DPI and the suggested rectangle of a WM_DPICHANGED.
inline UINT ChangedDpi(WPARAM wParam) {
    return HIWORD(wParam);
}
inline const RECT& SuggestedRect(LPARAM lParam) {
    return *reinterpret_cast<const RECT*>(lParam);
}

}  // namespace zid
