// One running download of the engine: WinINet's context for its handles and the state machine that
// reads the body. Only the engine uses this header.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/download_messages.h"
#include "net/download_request.h"
#include "win/handles.h"

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

    CTransfer(const CTransfer&) = delete;
    CTransfer& operator=(const CTransfer&) = delete;

    // WinINet's context value for this transfer; never 0, never reused in the process.
    DWORD_PTR Id() const { return m_id; }
    // One more reference (atomic).
    void AddRef() noexcept;
    // Frees the transfer with its last reference (ending the busy cursor it may hold).
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
    struct ReceiveBuffer {
        INTERNET_BUFFERSW Header{};  // what WinINet fills; its length is the bytes of the last read
        std::unique_ptr<char[]> Bytes;
        size_t Size = 0;  // capacity, one byte of it kept for a terminator
        size_t Used = 0;  // bytes held
    };

    CTransfer(DWORD_PTR id, TransferSetup setup);
    ~CTransfer();

    void Advance(const INTERNET_ASYNC_RESULT* result) noexcept;
    void Process(const INTERNET_ASYNC_RESULT* result);
    bool ReadHeaders(DownloadRequest& request);
    bool AcceptFileResponse(DownloadRequest& request);
    bool AcceptPart(DownloadRequest& request);
    bool StartOver(DownloadRequest& request);
    bool IssueRead(DownloadRequest& request);
    bool TakeChunk(DownloadRequest& request);
    ReceiveBuffer& BufferWithRoom();
    void Notify() noexcept;
    void Finish() noexcept;
    void FinishAtOnce() noexcept;
    void CheckLength(DownloadRequest& request) noexcept;
    void CloseFile(DownloadRequest& request) noexcept;
    void Publish(const DownloadRequest& request) noexcept;
    void CollectBody(DownloadRequest& request) noexcept;
    void HandOver() noexcept;
    void CloseRequestHandle() noexcept;
    void EndPendingCursor() noexcept;

    const DWORD_PTR m_id;
    std::atomic<LONG> m_references{1};
    std::atomic<HWND> m_owner;
    std::atomic<HWND> m_notify;
    std::atomic<DownloadRequest*> m_request;  // null once handed over
    std::unique_ptr<DownloadRequest> m_owned;
    const bool m_toFile;
    zid::UniqueFile m_file;
    std::atomic<HINTERNET> m_handle{nullptr};   // the request handle; whoever closes it takes it out
    std::atomic<HINTERNET> m_created{nullptr};  // the handle whose creation took a reference
    std::atomic<bool> m_finished{false};        // Finish has begun
    std::atomic<int> m_pendingCursor{0};        // busy-cursor levels held for this transfer
    // Held while a thread works on the download (Process, Finish); Cancel only tries it, since the
    // holder may be waiting for the thread that cancels (kDownloadFinished is sent).
    std::recursive_mutex m_working;
    TransferState m_state = TransferState::Idle;
    std::shared_ptr<DownloadProgress> m_progress;  // published for the notify window
    unsigned long long m_contentLength = 0;        // bytes announced for this response's body; 0: none
    unsigned long long m_received = 0;             // body bytes of this response so far
    unsigned long long m_resumeFrom = 0;           // bytes of the partial file before this response
    bool m_discard = false;                        // the partial file is of no use: delete it at the end
    unsigned long long m_bufferSize = 0;           // bytes of the first receive buffer, terminator included
    const DWORD m_fileBufferSize;
    std::vector<std::unique_ptr<ReceiveBuffer>> m_buffers;  // in arrival order; one, reused, in file mode
    const char* m_step = kStepAsyncResult;                  // the step under way, for a failure without a code
};
