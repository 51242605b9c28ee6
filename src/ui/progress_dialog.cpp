#include "ui/progress_dialog.h"

#include <commctrl.h>

#include <climits>
#include <cstdio>

#include "net/download_messages.h"
#include "resource.h"
#include "ui/dialog.h"

namespace zid {

namespace {

constexpr clock_t kMinimumInterval = 125;  // milliseconds between two displays
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kFieldCapacity = 128;  // characters of a field read back for comparison
constexpr int kFields = 6;

std::wstring Formatted(const wchar_t* format, double value) {
    wchar_t text[64];
    swprintf(text, 64, format, value);
    return text;
}

std::wstring Thousands(unsigned long long bytes) {
    return std::to_wstring(bytes / 1000);
}

}  // namespace

ProgressTexts MakeProgressTexts(unsigned long long contentLength, unsigned long long received, long elapsed,
                                unsigned long long resumed) {
    ProgressTexts texts;
    texts.Total = Thousands(contentLength);
    texts.Received = Thousands(received);
    texts.Elapsed = FormatDuration(elapsed);
    const double seconds = elapsed / 1000.0;
    double rate = 0.0;
    long long remaining = -1;
    if (seconds > 0) {
        const double bytesPerSecond = static_cast<double>(received - resumed) / seconds;
        rate = bytesPerSecond / 1000;
        if (bytesPerSecond > 0) {
            // Without a length the difference wraps: meaningless, as large as it comes out. A time
            // beyond a 32-bit count of milliseconds is shown as none.
            const double left = static_cast<double>(contentLength - received) * 1000.0 / bytesPerSecond;
            remaining = left < 2147483648.0 ? static_cast<long long>(static_cast<int>(left)) : INT_MIN;
            if (remaining != 0)
                remaining += 1000;
        }
    }
    texts.Rate = Formatted(L"%.1f", rate);
    texts.Remaining = FormatDuration(remaining);
    return texts;
}

int ProgressBarShift(unsigned long long total) {
    int shift = 0;
    while ((total >> shift) > static_cast<unsigned long long>(INT_MAX))
        ++shift;
    return shift;
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

HWND CProgressDialog::Create(HINSTANCE instance, HWND owner, std::shared_ptr<DownloadProgress> progress,
                             std::wstring fileName) {
    m_progress = std::move(progress);
    m_fileName = std::move(fileName);
    return CreateDialogObject(*this, instance, IDD_DOWNLOAD, owner);
}

INT_PTR CProgressDialog::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_TIMER:
        return wParam == kRefreshTimer ? OnTimer() : FALSE;
    case kDownloadProgress:
        return OnProgress();
    case WM_DPICHANGED:
        return m_dpi.OnDpiChanged(wParam, lParam);
    case WM_DESTROY:
        return OnDestroy();
    default:
        return FALSE;
    }
}

INT_PTR CProgressDialog::OnInitDialog(HWND dialog) {
    m_dialog = dialog;
    m_dpi.Attach(dialog);
    m_lastUpdate = 0;
    for (int field = 0; field < kFields; ++field)
        SetDlgItemTextW(dialog, IDC_FIELD0 + field, L"");
    SetDlgItemTextW(dialog, IDC_DOWNLOAD_STATUS, L"");
    // The figures are read, not sent: the download never waits for this window.
    SetTimer(dialog, kRefreshTimer, kMinimumInterval, nullptr);
    return TRUE;
}

INT_PTR CProgressDialog::OnDestroy() {
    KillTimer(m_dialog, kRefreshTimer);
    m_dialog = nullptr;
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

// Headers in or download ended: the end is always shown, the rest within the throttle.
INT_PTR CProgressDialog::OnProgress() {
    if (!m_progress)
        return TRUE;
    m_progress->Notified = false;
    Refresh();
    return TRUE;
}

INT_PTR CProgressDialog::OnTimer() {
    if (m_progress)
        Refresh();
    return TRUE;
}

void CProgressDialog::Refresh() {
    const bool ended = m_progress->Ended.load(std::memory_order_acquire);
    if (!ended && !m_progress->HeadersIn.load())
        return;  // nothing to show before the headers
    const clock_t now = clock();
    if (!ended && m_shown && now - m_lastUpdate < kMinimumInterval)
        return;
    ShowFigures(now);
    m_lastUpdate = now;
    if (ended)
        EndWait(kDownloadEnded);
}

void CProgressDialog::ShowFigures(clock_t now) {
    const unsigned long long total = m_progress->ContentLength.load();
    const unsigned long long received = m_progress->Received.load(std::memory_order_relaxed);
    const ProgressTexts texts = MakeProgressTexts(
        total, received, static_cast<long>(now - m_progress->StartTime.load()), m_progress->Resumed.load());
    HWND bar = GetDlgItem(m_dialog, IDC_PROGRESS);
    if (!m_shown) {
        m_shown = true;
        SetField(IDC_FIELD0, L"Downloading " + m_fileName);
        m_barShift = ProgressBarShift(total);
        SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(total >> m_barShift));
        SetField(IDC_FIELD1, texts.Total);
    }
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(received >> m_barShift), 0);
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

}  // namespace zid
