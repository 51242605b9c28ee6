#include "log/installer_log.h"

#include <cstdio>

#include "resource.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/program.h"

namespace {

constexpr int kLastLogNumber = 999;

// The log pane's text, kept whole so the control can be set in one call.
std::wstring& PaneText() {
    static std::wstring text;
    return text;
}

bool LocalNow(std::tm& local) {
    std::time_t now = std::time(nullptr);
    return localtime_s(&local, &now) == 0;
}

// Empty when the time cannot be had or formatted: a line or a name without it is still useful.
std::wstring FormatTime(const std::tm& local, const wchar_t* format) {
    wchar_t text[128];
    size_t length = std::wcsftime(text, 128, format, &local);
    return std::wstring(text, length);
}

std::wstring LocalTimeText(const wchar_t* format) {
    std::tm local{};
    if (!LocalNow(local))
        return {};
    return FormatTime(local, format);
}

// Height of one line of the edit control's font (the system font when it has none set).
int LineHeight(HWND pane) {
    HDC dc = GetDC(pane);
    if (!dc)
        return 0;
    zid::scope_exit release([&] { ReleaseDC(pane, dc); });
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(pane, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics{};
    const BOOL measured = GetTextMetricsW(dc, &metrics);
    if (previous)
        SelectObject(dc, previous);
    return measured ? metrics.tmHeight : 0;
}

// Setting the text puts the control back at its first line; scroll so the last line sits at the bottom.
void ScrollLogPaneToEnd(HWND pane) {
    const int height = LineHeight(pane);
    if (height <= 0)
        return;
    const int lines = static_cast<int>(SendMessageW(pane, EM_GETLINECOUNT, 0, 0));
    RECT format{};
    SendMessageW(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const int visible = (format.bottom - format.top) / height;
    const int k = lines - visible - 1;
    if (k > 0)
        SendMessageW(pane, EM_LINESCROLL, 0, k);
}

std::wstring LogFileCandidate(const std::wstring& folder, const std::wstring& base, int number) {
    std::wstring path = folder + base;
    if (number > 0) {
        wchar_t suffix[16];
        swprintf(suffix, 16, L"-%d", number);
        path += suffix;
    }
    return path + L".txt";
}

// Numbers tried: none, then 2 .. 999; 1 is never used. Any failure, not only a taken name, moves on.
// Only a new file will do: a name that is taken, also by a link someone planted, is passed over.
std::wstring CreateNamedLogFile(const std::wstring& folder, const std::wstring& base, zid::UniqueFile* held) {
    for (int number = 0; number <= kLastLogNumber; number = (number == 0 ? 1 : number) + 1) {
        std::wstring candidate = LogFileCandidate(folder, base, number);
        zid::UniqueFile file(CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            if (held)
                *held = std::move(file);
            return candidate;
        }
    }
    return {};
}

}  // namespace

void AddLogLine(const wchar_t* text) {
    std::wstring& pane = PaneText();
    pane += LocalTimeText(L"%H:%M:%S ");
    if (text)
        pane += text;
    // Error texts keep the system's own line break; never add a second one.
    if (!pane.empty() && !pane.ends_with(L"\r\n"))
        pane += L"\r\n";
    HWND control = GetDlgItem(MainWindow(), IDC_LOG);
    if (!control)
        return;
    SetWindowTextW(control, pane.c_str());
    ScrollLogPaneToEnd(control);
}

const std::wstring& LogPaneText() {
    return PaneText();
}

void ClearLogPane() {
    PaneText().clear();
    SetDlgItemTextW(MainWindow(), IDC_LOG, L"");
}

std::wstring CreateLogFileIn(const std::wstring& folder, const std::tm& local, zid::UniqueFile* held) {
    return CreateNamedLogFile(folder, FormatTime(local, L"VNI-%y%m%d-%H%M%S"), held);
}

std::wstring CreateLogFile(zid::UniqueFile* held) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return {};
    std::tm local{};
    if (!LocalNow(local))
        return CreateNamedLogFile(std::wstring(folder, length), L"", held);
    return CreateLogFileIn(std::wstring(folder, length), local, held);
}

std::wstring GetLogFilePath(zid::UniqueFile* held) {
    if (SendDlgItemMessageW(MainWindow(), IDC_SHOW_LOGS, BM_GETCHECK, 0, 0) != BST_CHECKED)
        return {};
    std::wstring path = CreateLogFile(held);
    if (path.empty())
        ShowMessage(L"", L"Unable to create a log file", MB_ICONWARNING);
    return path;
}

void WriteLine(HANDLE file, const std::wstring& text) {
    const std::wstring line = text + L"\r\n";
    DWORD written = 0;
    if (!WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr))
        ReportLastError(L"WriteLine");
}
