// The two window messages of the download engine, shared by the engine and the windows it talks to.
// Both are sent (SendMessageW) from whichever thread runs the download, so they are handled on the
// receiving window's own thread while the download waits.
#pragma once

#include <windows.h>

#include <ctime>

struct DownloadRequest;

// Sent to the engine's owner window once per started download, lParam = the finished DownloadRequest.
inline constexpr UINT kDownloadFinished = WM_APP;

// Sent to a download's notify window, lParam = const DownloadProgress*, valid only while it is handled.
inline constexpr UINT kDownloadProgress = WM_APP + 1;

// States of a running download.
enum class TransferState : int {
    Idle = 0,         // not started, or ended
    Opened = 1,       // the address is open; headers not yet read
    ReadyToRead = 2,  // the next read may be issued
    ChunkReady = 3,   // a read has completed or is pending
};

// What a progress message shows of a running download.
struct DownloadProgress {
    TransferState State = TransferState::Idle;  // Idle in the last message of a download
    DWORD ContentLength = 0;                    // from the response headers; 0 when there was none
    DWORD Received = 0;                         // body bytes received so far
    clock_t StartTime = 0;                      // process clock (milliseconds) when the download started
    const DownloadRequest* Request = nullptr;   // status, flags, first error and local path
};
