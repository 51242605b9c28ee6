// The two window messages of the download engine and the progress record a download publishes,
// shared by the engine and the windows it talks to.
#pragma once

#include <windows.h>

#include <atomic>
#include <ctime>
#include <string>

namespace zid {

// Sent to the engine's owner window once per started download, lParam = the finished DownloadRequest.
// Sent (SendMessageW) from whichever thread ends the download, so it is handled on the owner's thread.
inline constexpr UINT kDownloadFinished = WM_APP;

// Posted to a download's notify window when its headers have arrived and when it has ended; wParam and
// lParam 0. At most one waits in the queue at a time (DownloadProgress::Notified). The counters
// between those two are read from the DownloadProgress, not sent: the transfer never waits for a window.
inline constexpr UINT kDownloadProgress = WM_APP + 1;

// States of a running download.
enum class TransferState : int {
    Idle = 0,         // not started, or ended
    Opened = 1,       // the address is open; headers not yet read
    ReadyToRead = 2,  // the next read may be issued
    ChunkReady = 3,   // a read has completed or is pending
};

// How a download ended, final once DownloadProgress::Ended is set.
struct DownloadResult {
    DWORD HttpStatus = 0;        // numeric status of the response; 0 when there was none
    DWORD ErrorCode = 0;         // first failure; 0 when none
    const char* ErrorStep = "";  // kStep... name of the step that failed first
    std::wstring ErrorText;      // the server's words for ERROR_INTERNET_EXTENDED_ERROR
    bool Complete = false;       // every byte arrived (a file download: saved under its final name)
    bool Cancelled = false;      // stopped by its owner; its partial file is gone
    bool Resumable = false;      // a partial file and what is needed to ask for the rest were kept
    // The partial file was of no use and is gone, or it is kept and only the server can say whether it
    // is whole: a new download may finish the file at once.
    bool AskAgain = false;
    unsigned long long NeededBytes = 0;  // kStepSpace: what the body would have written
    unsigned long long FreeBytes = 0;    // kStepSpace: what the download folder's drive has free
};

// What a download publishes for the window that shows its progress. The download's thread writes it,
// the window reads it whenever it likes (both hold it through a std::shared_ptr): the counters at any
// time, Result once Ended is set.
struct DownloadProgress {
    std::atomic<TransferState> State{TransferState::Idle};
    std::atomic<bool> HeadersIn{false};                // the response headers have been read
    std::atomic<unsigned long long> ContentLength{0};  // bytes of the whole file; 0 when unknown
    std::atomic<unsigned long long> Received{0};       // bytes of the file so far, a resumed part included
    std::atomic<unsigned long long> Resumed{0};        // bytes that were already there when it started
    std::atomic<clock_t> StartTime{0};                 // process clock (milliseconds) at the start
    std::atomic<bool> Notified{false};                 // a kDownloadProgress is queued; the window clears it
    std::atomic<bool> Ended{false};                    // the download is over and Result is final
    DownloadResult Result;
};

}  // namespace zid
