#include "releases/progress_dialog.h"

#include <commctrl.h>

#include <climits>
#include <cstdio>

#include "net/download_messages.h"
#include "net/download_request.h"
#include "resource.h"
#include "win/dialog.h"
#include "win/errors.h"
#include "win/platform.h"

namespace {

constexpr clock_t kMinimumInterval = 125;  // milliseconds between two displays
constexpr int kFieldCapacity = 128;        // characters of a field read back for comparison
constexpr int kFields = 6;

std::wstring Formatted(const wchar_t* format, double value) {
    wchar_t text[64];
    swprintf(text, 64, format, value);
    return text;
}

std::wstring Thousands(DWORD bytes) {
    wchar_t text[32];
    swprintf(text, 32, L"%u", static_cast<unsigned>(bytes / 1000));
    return text;
}

// Step names are narrow texts in the thread's code page.
std::wstring Widened(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

}  // namespace

ProgressTexts MakeProgressTexts(DWORD contentLength, DWORD received, long elapsed) {
    ProgressTexts texts;
    texts.Total = Thousands(contentLength);
    texts.Received = Thousands(received);
    texts.Elapsed = FormatDuration(elapsed);
    const double seconds = elapsed / 1000.0;
    double rate = 0.0;
    long long remaining = -1;
    if (seconds > 0) {
        const double bytesPerSecond = received / seconds;
        rate = bytesPerSecond / 1000;
        if (bytesPerSecond > 0) {
            // Without a length the difference wraps: meaningless, as large as it comes out. A time
            // beyond a 32-bit count of milliseconds is shown as none.
            const double left = static_cast<DWORD>(contentLength - received) * 1000.0 / bytesPerSecond;
            remaining = left < 2147483648.0 ? static_cast<long long>(static_cast<int>(left)) : INT_MIN;
            if (remaining != 0)
                remaining += 1000;
        }
    }
    texts.Rate = Formatted(L"%.1f", rate);
    texts.Remaining = FormatDuration(remaining);
    return texts;
}

std::wstring FormatDuration(long long milliseconds) {
    if (milliseconds < 0)
        return {};
    const long long seconds = milliseconds / 1000;
    const long long hours = seconds / 3600;
    const long long rest = seconds - hours * 3600;
    wchar_t text[48] = L"";
    if (hours != 0)
        swprintf(text, 48, L"%lld:%02lld:%02lld", hours, rest / 60, rest % 60);
    else
        swprintf(text, 48, L"%02lld:%02lld", rest / 60, rest % 60);
    return text;
}

HWND CProgressDialog::Create(HWND owner) {
    return CreateDialogParamW(Platform().Instance, MAKEINTRESOURCEW(IDD_DOWNLOAD), owner, DialogThunk<CProgressDialog>,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CProgressDialog::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case kDownloadProgress:
        return OnProgress(*reinterpret_cast<const DownloadProgress*>(lParam));
    case WM_DESTROY:
        m_dialog = nullptr;
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CProgressDialog::OnInitDialog(HWND dialog) {
    m_dialog = dialog;
    m_lastUpdate = 0;
    for (int field = 0; field < kFields; ++field)
        SetDlgItemTextW(dialog, IDC_FIELD0 + field, L"");
    SetDlgItemTextW(dialog, IDC_DOWNLOAD_STATUS, L"");
    return TRUE;
}

INT_PTR CProgressDialog::OnCommand(WORD id) {
    // Enter (IDOK) does not end the wait: the download may still be running, and ending it as
    // complete would install a partial file.
    if (id == IDCANCEL)
        EndWait(kDownloadCancelled);
    return id == IDCANCEL || id == IDOK;
}

// The first of "download ended" and "user cancelled" decides.
void CProgressDialog::EndWait(int result) {
    if (m_done)
        return;
    m_done = true;
    m_result = result;
}

INT_PTR CProgressDialog::OnProgress(const DownloadProgress& progress) {
    ReportProblems(progress);
    const bool finished = IsFinished(*progress.Request);
    const clock_t now = clock();
    if (m_shown && now - m_lastUpdate < kMinimumInterval && !finished)
        return TRUE;
    ShowFigures(progress, now);
    m_lastUpdate = now;
    if (finished) {
        m_ended = true;
        EndWait(kDownloadComplete);
    }
    return TRUE;
}

void CProgressDialog::ReportProblems(const DownloadProgress& progress) {
    const DownloadRequest& request = *progress.Request;
    if (request.ErrorCode != 0)
        ShowMessage(Widened(request.ErrorStep), GetErrorText(request.ErrorCode, request.ErrorText), MB_ICONERROR);
    if (request.HttpStatus != 0 && request.HttpStatus != 200) {
        wchar_t text[48];
        swprintf(text, 48, L"HTTP Status = %d", static_cast<int>(request.HttpStatus));
        ShowMessage(L"", text, MB_ICONWARNING);
    }
}

void CProgressDialog::ShowFigures(const DownloadProgress& progress, clock_t now) {
    const ProgressTexts texts =
        MakeProgressTexts(progress.ContentLength, progress.Received, static_cast<long>(now - progress.StartTime));
    HWND bar = GetDlgItem(m_dialog, IDC_PROGRESS);
    if (!m_shown) {
        m_shown = true;
        SetField(IDC_FIELD0, L"Downloading " + FileNameOf(progress.Request->LocalPath));
        SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(progress.ContentLength));
        SetField(IDC_FIELD1, texts.Total);
    }
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(progress.Received), 0);
    SetField(IDC_FIELD2, texts.Received);
    SetField(IDC_FIELD3, texts.Elapsed);
    SetField(IDC_FIELD4, texts.Rate);
    SetField(IDC_FIELD5, texts.Remaining);
}

// Only a changed text is set, so unchanged fields do not flicker.
void CProgressDialog::SetField(int id, const std::wstring& text) {
    wchar_t current[kFieldCapacity] = L"";
    GetDlgItemTextW(m_dialog, id, current, kFieldCapacity);
    if (text != current)
        SetDlgItemTextW(m_dialog, id, text.c_str());
}
