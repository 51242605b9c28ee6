// The download progress dialog "Velonar Download" (dialog 133): it reads what the download publishes
// eight times a second and tells the waiting download flow when the download has ended or the user
// cancelled.
#pragma once

#include <windows.h>

#include <ctime>
#include <memory>
#include <string>

#include "ui/dpi.h"

namespace zid {

struct DownloadProgress;

// How the wait for a download ended: the download ended (its result says how), or the user cancelled.
inline constexpr int kDownloadEnded = 1;
inline constexpr int kDownloadCancelled = IDCANCEL;

// The figures of one display: sizes in thousands of bytes, rate "%.1f" of them per second.
struct ProgressTexts {
    std::wstring Total;
    std::wstring Received;
    std::wstring Elapsed;
    std::wstring Rate;
    std::wstring Remaining;
};

// The figures for a download of a file of contentLength bytes (0: unknown) that has received bytes of
// it in elapsed milliseconds, resumed of them already there when it started (the rate counts only what
// came since), in 64 bits. The remaining time counts one second more than the estimate (never 00:00
// too early).
ProgressTexts MakeProgressTexts(unsigned long long contentLength, unsigned long long received, long elapsed,
                                unsigned long long resumed = 0);

// The right shift that brings a count of bytes up to total into the progress bar's int range.
int ProgressBarShift(unsigned long long total);

// "mm:ss", or "h:mm:ss" from one hour; empty for a negative time (milliseconds).
std::wstring FormatDuration(long long milliseconds);

class CProgressDialog {
public:
    CProgressDialog() = default;
    CProgressDialog(const CProgressDialog&) = delete;
    CProgressDialog& operator=(const CProgressDialog&) = delete;

    // Creates the modeless dialog (visible by its template) owned by owner, showing the download that
    // publishes progress and saves fileName; null on failure, with the thread's last error.
    HWND Create(HINSTANCE instance, HWND owner, std::shared_ptr<DownloadProgress> progress, std::wstring fileName);
    HWND Window() const { return m_dialog; }

    // The wait is over: the download ended or the user cancelled, whichever came first.
    bool Done() const { return m_done; }
    // kDownloadEnded or kDownloadCancelled once Done.
    int Result() const { return m_result; }

    // The dialog procedure body (reached through DialogThunk).
    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

private:
    INT_PTR OnInitDialog(HWND dialog);
    INT_PTR OnCommand(WORD id);
    INT_PTR OnProgress();
    INT_PTR OnTimer();
    INT_PTR OnDestroy();
    void Refresh();
    void ShowFigures(clock_t now);
    void SetField(int id, const std::wstring& text);
    void EndWait(int result);

    HWND m_dialog = nullptr;
    CDialogDpi m_dpi;
    std::shared_ptr<DownloadProgress> m_progress;
    std::wstring m_fileName;
    bool m_done = false;
    int m_result = 0;
    clock_t m_lastUpdate = 0;  // process clock of the last display; 0: none yet
    bool m_shown = false;      // the first display (file name, total) has been made
    int m_barShift = 0;        // bytes >> m_barShift are the bar's units (its range is an int)
};

}  // namespace zid
