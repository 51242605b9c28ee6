// The download progress dialog "Velonar Download" (dialog 133), driven by the engine's progress
// messages; it tells the waiting download flow when the download has ended or the user cancelled.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

struct DownloadProgress;

// How the wait for a download ended.
inline constexpr int kDownloadComplete = 1;
inline constexpr int kDownloadCancelled = IDCANCEL;

// The figures of one display: sizes in thousands of bytes, rate "%.1f" of them per second.
struct ProgressTexts {
    std::wstring Total;
    std::wstring Received;
    std::wstring Elapsed;
    std::wstring Rate;
    std::wstring Remaining;
};

// The figures for a download of contentLength bytes (0: unknown) that has received bytes in elapsed
// milliseconds. The remaining time counts one second more than the estimate (never 00:00 too early).
ProgressTexts MakeProgressTexts(DWORD contentLength, DWORD received, long elapsed);

// "mm:ss", or "h:mm:ss" from one hour; empty for a negative time (milliseconds).
std::wstring FormatDuration(long long milliseconds);

class CProgressDialog {
public:
    CProgressDialog() = default;
    CProgressDialog(const CProgressDialog&) = delete;
    CProgressDialog& operator=(const CProgressDialog&) = delete;

    // Creates the modeless dialog (visible by its template) owned by owner; null on failure, with the
    // thread's last error.
    HWND Create(HWND owner);
    HWND Window() const { return m_dialog; }

    // The wait is over: the download ended or the user cancelled, whichever came first.
    bool Done() const { return m_done; }
    // kDownloadComplete or kDownloadCancelled once Done.
    int Result() const { return m_result; }
    // The last progress message of the download has arrived (its request may be gone after it).
    bool Ended() const { return m_ended; }

    // The dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog(HWND dialog);
    INT_PTR OnCommand(WORD id);
    INT_PTR OnProgress(const DownloadProgress& progress);
    void ReportProblems(const DownloadProgress& progress);
    void ShowFigures(const DownloadProgress& progress, clock_t now);
    void SetField(int id, const std::wstring& text);
    void EndWait(int result);

    HWND m_dialog = nullptr;
    bool m_done = false;
    int m_result = 0;
    bool m_ended = false;
    clock_t m_lastUpdate = 0;  // process clock of the last display; 0: none yet
    bool m_shown = false;      // the first display (file name, total) has been made
};
