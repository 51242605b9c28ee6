// The asynchronous download engine on WinINet.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "net/download_request.h"
#include "win/handles.h"

namespace zid {

// Bytes of each receive buffer of a package download into a file (the data and one spare byte). As
// measured (scripts/bench-download) on loopback: 4 KiB reads managed 3% of curl's speed, 64 KiB ones
// about a quarter, 1 MiB ones more than half; the one buffer is reused, so memory does not grow.
inline constexpr DWORD kPackageBufferSize = 1024 * 1024 + 1;

// Milliseconds WinINet may wait to connect, to send and to receive, and that a download may go
// without a word from the server before it ends as interrupted.
inline constexpr DWORD kNetworkTimeout = 30000;

// One engine per process: the asynchronous internet session and the window told about finished
// downloads (kDownloadFinished, download_messages.h).
class CVNInet {
public:
    // stallLimit: milliseconds without a word from the server after which a download ends (tests
    // shorten it).
    explicit CVNInet(DWORD stallLimit = kNetworkTimeout) : m_stallLimit(stallLimit) {}
    // Stops messages to the windows, uninstalls the status callback and closes the session, so no
    // callback outlives the engine with work to do.
    virtual ~CVNInet();
    CVNInet(const CVNInet&) = delete;
    CVNInet& operator=(const CVNInet&) = delete;

    // Opens the asynchronous session with kNetworkTimeout, installs the status callback and starts
    // the watch that ends stalled downloads, owner being the window told about finished downloads;
    // 0 or the Win32 error.
    DWORD Open(HWND owner);
    bool Ready() const { return m_ready; }
    // How many downloads of the process have started and not yet ended.
    static size_t RunningTransfers();
    HWND Owner() const { return m_owner; }

    // Starts downloading request.Url into request.Data, or into request.File when the request has
    // kRequestToFile (the file then moves into the download; the rest of a partial file is asked for
    // when the request has ResumeFrom). The request stays the caller's and must live until the
    // download has finished. True: exactly one kDownloadFinished with the request follows, counters
    // are published in request.Progress and notify (if not null) is posted kDownloadProgress. False:
    // the reason is the thread's last error, the request counts as finished, a file it created is
    // closed and deleted (a partial file it was to continue is kept), and no message follows.
    // On true, transfer (if given) receives the id that Cancel takes.
    bool Start(DownloadRequest& request, HWND notify, DWORD_PTR* transfer = nullptr);

    // As Start, for a package request that goes with the download: handed to the owner window with
    // kDownloadFinished (freed with the download when there is no window to take it); on false it is
    // freed at once, its file deleted.
    bool StartPackage(std::unique_ptr<DownloadRequest> request, HWND notify, DWORD_PTR& transfer);

    // Stops a running download in whatever state it is, at once unless WinINet is handing it a result
    // this moment: its partial file is deleted and its finished message still arrives (sent from
    // within this call when the download ends here). Nothing happens when it was already handed over.
    void Cancel(DWORD_PTR transfer);

    // Bytes of each receive buffer of file downloads (the benchmark compares sizes).
    void SetFileBufferSize(DWORD bytes) { m_fileBufferSize = bytes; }

    // WinINet status callback installed on the session; runs on WinINet's threads.
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD infoLength);

private:
    // 0 when the download runs (or already ended), else the reason it did not start.
    DWORD StartRequest(DownloadRequest& request, std::unique_ptr<DownloadRequest> owned, HWND notify,
                       DWORD_PTR* transfer);

    // The watch's timer callback, on a thread of the system's pool; it may outlive the engine.
    // The limit comes as its parameter: the callback may outlive the engine.
    static void CALLBACK Watch(void* stallLimit, BOOLEAN);

    HWND m_owner = nullptr;
    zid::UniqueInternet m_session;
    const DWORD m_stallLimit;
    zid::UniqueQueueTimer m_watch;
    bool m_ready = false;  // session open and callback installed
    DWORD m_fileBufferSize = kPackageBufferSize;
};

}  // namespace zid
