// One running download of the engine: WinINet's context for its handles and the state machine that
// drives the request (headers, reads) into its body sink. Only the engine uses this header.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "net/body_sink.h"
#include "net/download_messages.h"
#include "net/download_request.h"
#include "win/handles.h"

namespace zid {

// What a new transfer starts with.
struct TransferSetup {
    HWND Owner = nullptr;                    // told with kDownloadFinished
    HWND Notify = nullptr;                   // posted kDownloadProgress, or null
    DownloadRequest* Request = nullptr;      // the request the transfer reports into
    std::unique_ptr<DownloadRequest> Owned;  // the same request when the transfer owns it until hand-over
    zid::UniqueFile File;                    // the local file (file mode), else none
    DWORD FileBufferSize = 0;                // bytes per receive buffer in file mode
};

// Reference-counted: the creator's reference lasts until the download finishes, the request handle's
// from its creation until WinINet reports it closing. WinINet's context value is the transfer's id,
// not its address: callbacks look the id up, so a late one never reaches a freed transfer.
class CTransfer {
public:
    // A registered transfer with one reference (the creator's).
    static CTransfer* Create(TransferSetup setup);
    // The live transfer with this id with one more reference, or null.
    static CTransfer* Find(DWORD_PTR id) noexcept;
    // Forgets every live transfer's windows, so no message goes to windows that are being destroyed.
    static void DetachAll() noexcept;
    // Ends every live transfer that has heard nothing from the server for more than limit
    // milliseconds as interrupted (ERROR_INTERNET_TIMEOUT): WinINet's own time-outs do not end a
    // read everywhere (Wine's wait for the server for ever).
    static void EndStalled(ULONGLONG limit) noexcept;
    // How many transfers have not yet ended.
    static size_t CountRunning() noexcept;

    CTransfer(const CTransfer&) = delete;
    CTransfer& operator=(const CTransfer&) = delete;

    // WinINet's context value for this transfer; never 0, never reused in the process.
    DWORD_PTR Id() const { return m_id; }
    // One more reference (atomic).
    void AddRef() noexcept;
    // One more reference unless the last one is being given up; false then.
    bool TryAddRef() noexcept;
    // Frees the transfer with its last reference.
    void Release() noexcept;

    // Opens url on session. 0: running or already finished. Otherwise the error it failed with at once
    // (the request counts as finished, a local file is closed and deleted, no message is sent).
    DWORD Open(HINTERNET session, const std::wstring& url) noexcept;

    // WinINet's status callback for this transfer; never lets an exception out.
    void OnStatus(HINTERNET handle, DWORD status, void* info, DWORD length) noexcept;

    // Marks the request cancelled, closes the request handle (aborting a connection, a wait for headers
    // or a read under way) and, unless another thread is working on the download this moment (it then
    // sees the mark), finishes it at once: its partial file is deleted and its finished message sent.
    void Cancel() noexcept;

private:
    // What the state machine does after a step.
    enum class Next {
        Go,    // the next step at once
        Wait,  // a completion of WinINet's continues it
        End,   // the download ends here
    };

    CTransfer(DWORD_PTR id, TransferSetup setup);
    ~CTransfer();

    void TakeHandle(HINTERNET handle) noexcept;
    void Advance(const INTERNET_ASYNC_RESULT* result) noexcept;
    Next Run(DownloadRequest& request, const INTERNET_ASYNC_RESULT* result);
    Next ReadHeaders(DownloadRequest& request);
    Next IssueRead(DownloadRequest& request);
    Next TakeChunk(DownloadRequest& request);
    void EndStalledDownload() noexcept;
    void Notify() noexcept;
    void Finish() noexcept;
    void Abandon() noexcept;
    void Publish(const DownloadRequest& request) noexcept;
    void HandOver() noexcept;
    void CloseRequestHandle() noexcept;

    const DWORD_PTR m_id;
    std::atomic<LONG> m_references{1};
    std::atomic<HWND> m_owner;
    std::atomic<HWND> m_notify;
    std::atomic<DownloadRequest*> m_request;  // null once handed over
    std::unique_ptr<DownloadRequest> m_owned;
    const bool m_toFile;
    const std::string m_resumeFields;           // what asks for the rest of a partial file; empty: the whole
    std::atomic<HINTERNET> m_handle{nullptr};   // the request handle; whoever closes it takes it out
    std::atomic<HINTERNET> m_created{nullptr};  // the handle whose creation took a reference
    std::atomic<bool> m_finished{false};        // Finish has begun
    // The reference the request handle will hold, taken before WinINet may report the handle: a
    // transfer cancelled before then must still be found to close it.
    std::atomic<bool> m_awaitingHandle{false};
    std::atomic<ULONGLONG> m_lastHeard{0};  // tick count when the server was last heard from
    // Held while a thread works on the download (Process, Finish); Cancel only tries it, since the
    // holder may be waiting for the thread that cancels (kDownloadFinished is sent).
    std::recursive_mutex m_working;
    TransferState m_state = TransferState::Idle;
    std::shared_ptr<DownloadProgress> m_progress;  // published for the notify window
    std::unique_ptr<CBodySink> m_sink;             // where the body goes; kept until the transfer is freed
    INTERNET_BUFFERSW m_read{};                    // the read under way: WinINet fills its length
    const char* m_step = kStepAsyncResult;         // the step under way, for a failure without a code
};

}  // namespace zid
