// A hidden window that receives the engine's messages and remembers them, for the engine's tests.
#pragma once

#include <windows.h>

#include <vector>

#include "net/download_messages.h"
#include "net/download_request.h"

struct SeenProgress {
    TransferState State;
    DWORD ContentLength;
    DWORD Received;
    DWORD HttpStatus;
    bool Finished;
};

struct SeenFinish {
    const DownloadRequest* Request;
    DWORD Thread;  // the thread that handled the message
};

class CDownloadRecorder {
public:
    CDownloadRecorder();
    ~CDownloadRecorder();
    CDownloadRecorder(const CDownloadRecorder&) = delete;
    CDownloadRecorder& operator=(const CDownloadRecorder&) = delete;

    HWND Window() const { return m_window; }
    const std::vector<SeenProgress>& Progress() const { return m_progress; }
    const std::vector<SeenFinish>& Finishes() const { return m_finishes; }

    // Pumps this thread's messages until count finished messages have arrived (false after 30 s).
    bool WaitForFinishes(size_t count);
    // Pumps until progress shows at least bytes received (false after 30 s).
    bool WaitForReceived(DWORD bytes);
    // Pumps for a while, so that a message that should not come would have come.
    void PumpFor(DWORD milliseconds);
    // Pumps until the busy cursor is off again: every transfer has let go (false after 10 s).
    bool WaitForIdleCursor();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    template <typename Predicate>
    bool PumpUntil(Predicate done, DWORD timeout);

    HWND m_window = nullptr;
    std::vector<SeenProgress> m_progress;
    std::vector<SeenFinish> m_finishes;
};
