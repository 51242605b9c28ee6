#include "log/installer_log.h"

#include <ctime>

#include "resource.h"
#include "shell/app.h"

namespace {

std::wstring LocalTimeText(const wchar_t* format) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_s(&local, &now) != 0)
        return {};
    wchar_t text[128];
    size_t length = std::wcsftime(text, 128, format, &local);
    return std::wstring(text, length);
}

// Setting the text puts the control back at its first line; scroll so the last line sits at the bottom.
void ScrollLogPaneToEnd(HWND pane) {
    const int lines = static_cast<int>(SendMessageW(pane, EM_GETLINECOUNT, 0, 0));
    RECT format{};
    SendMessageW(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(pane, WM_GETFONT, 0, 0));
    HDC dc = GetDC(pane);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(pane, dc);
    if (metrics.tmHeight <= 0)
        return;
    const int visible = (format.bottom - format.top) / metrics.tmHeight;
    const int k = lines - visible - 1;
    if (k > 0)
        SendMessageW(pane, EM_LINESCROLL, 0, k);
}

}  // namespace

void AddLogLine(const wchar_t* text) {
    std::wstring& pane = theApp.m_logText;
    pane += LocalTimeText(L"%H:%M:%S ");
    if (text)
        pane += text;
    if (pane.size() >= 2 && pane.compare(pane.size() - 2, 2, L"\r\n") != 0)
        pane += L"\r\n";
    HWND control = GetDlgItem(theApp.m_mainWindow, IDC_LOG);
    SetWindowTextW(control, pane.c_str());
    ScrollLogPaneToEnd(control);
}

void ClearLogPane() {
    theApp.m_logText.clear();
    SetDlgItemTextW(theApp.m_mainWindow, IDC_LOG, L"");
}
