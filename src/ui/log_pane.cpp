#include "ui/log_pane.h"

#include <ctime>

#include "win/handles.h"

namespace zid {

namespace {

// "HH:MM:SS " of now; empty when the time cannot be had (a line without it is still useful).
std::wstring TimePrefix() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_s(&local, &now) != 0)
        return {};
    wchar_t text[32];
    const size_t length = std::wcsftime(text, 32, L"%H:%M:%S ", &local);
    return std::wstring(text, length);
}

// Height of one line of the edit control's font (the system font when it has none set).
int LineHeight(HWND pane) {
    HDC dc = GetDC(pane);
    if (!dc)
        return 0;
    scope_exit release([&] { ReleaseDC(pane, dc); });
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(pane, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics{};
    const BOOL measured = GetTextMetricsW(dc, &metrics);
    if (previous)
        SelectObject(dc, previous);
    return measured ? metrics.tmHeight : 0;
}

// Setting the text puts the control back at its first line; scroll so the last line sits at the bottom.
void ScrollToEnd(HWND pane) {
    const int height = LineHeight(pane);
    if (height <= 0)
        return;
    const int lines = static_cast<int>(SendMessageW(pane, EM_GETLINECOUNT, 0, 0));
    RECT format{};
    SendMessageW(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const int visible = (format.bottom - format.top) / height;
    const int hidden = lines - visible - 1;
    if (hidden > 0)
        SendMessageW(pane, EM_LINESCROLL, 0, hidden);
}

}  // namespace

void CLogPane::Attach(HWND edit) {
    m_edit = edit;
    if (m_edit)
        SetWindowTextW(m_edit, m_text.c_str());
}

void CLogPane::AddLine(const std::wstring& text) {
    m_text += TimePrefix();
    m_text += text;
    // Error texts keep the system's own line break; never add a second one.
    if (!m_text.empty() && !m_text.ends_with(L"\r\n"))
        m_text += L"\r\n";
    if (!m_edit)
        return;
    SetWindowTextW(m_edit, m_text.c_str());
    ScrollToEnd(m_edit);
}

void CLogPane::Clear() {
    m_text.clear();
    if (m_edit)
        SetWindowTextW(m_edit, L"");
}

}  // namespace zid
