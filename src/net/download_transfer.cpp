#include "net/download_transfer.h"

#include <ctime>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "net/response_headers.h"

namespace zid {

namespace {

constexpr DWORD kPageOpenFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RESYNCHRONIZE;
// A package goes to its file only: no second copy in WinINet's cache, none taken from it.
constexpr DWORD kPackageOpenFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

std::wstring Widened(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// The live transfers by id. Never destroyed: WinINet may call back while the process exits.
struct TransferTable {
    std::mutex Lock;
    std::unordered_map<DWORD_PTR, CTransfer*> Live;
    DWORD_PTR NextId = 1;
};

TransferTable& Table() {
    static TransferTable* table = new TransferTable;
    return *table;
}

}  // namespace

CTransfer* CTransfer::Create(TransferSetup setup) {
    TransferTable& table = Table();
    std::lock_guard<std::mutex> guard(table.Lock);
    DWORD_PTR id = table.NextId++;
    if (id == 0)  // 0 is no context for WinINet
        id = table.NextId++;
    auto* transfer = new CTransfer(id, std::move(setup));
    try {
        table.Live.emplace(id, transfer);
    } catch (...) {
        delete transfer;
        throw;
    }
    return transfer;
}

CTransfer* CTransfer::Find(DWORD_PTR id) noexcept {
    TransferTable& table = Table();
    std::lock_guard<std::mutex> guard(table.Lock);
    auto found = table.Live.find(id);
    if (found == table.Live.end())
        return nullptr;
    return found->second->TryAddRef() ? found->second : nullptr;
}

// A transfer whose last reference is being given up is as good as gone: no reference is added then.
bool CTransfer::TryAddRef() noexcept {
    LONG references = m_references.load();
    while (references > 0 && !m_references.compare_exchange_weak(references, references + 1)) {}
    return references > 0;
}

void CTransfer::DetachAll() noexcept {
    TransferTable& table = Table();
    std::lock_guard<std::mutex> guard(table.Lock);
    for (auto& [id, transfer] : table.Live) {
        transfer->m_owner = nullptr;
        transfer->m_notify = nullptr;
    }
}

void CTransfer::EndStalled(ULONGLONG limit) noexcept {
    std::vector<CTransfer*> stalled;
    {
        TransferTable& table = Table();
        std::lock_guard<std::mutex> guard(table.Lock);
        const ULONGLONG now = GetTickCount64();
        try {
            for (auto& [id, transfer] : table.Live) {
                if (!transfer->m_finished.load() && now - transfer->m_lastHeard.load() > limit &&
                    transfer->TryAddRef()) {
                    stalled.push_back(transfer);
                }
            }
        } catch (const std::bad_alloc&) {
            // The ones found so far end now, the others at the next look.
        }
    }
    for (CTransfer* transfer : stalled) {
        transfer->EndStalledDownload();
        transfer->Release();
    }
}

size_t CTransfer::CountRunning() noexcept {
    TransferTable& table = Table();
    std::lock_guard<std::mutex> guard(table.Lock);
    size_t running = 0;
    for (const auto& [id, transfer] : table.Live)
        running += transfer->m_finished.load() ? 0 : 1;
    return running;
}

CTransfer::CTransfer(DWORD_PTR id, TransferSetup setup)
    : m_id(id),
      m_owner(setup.Owner),
      m_notify(setup.Notify),
      m_request(setup.Request),
      m_owned(std::move(setup.Owned)),
      m_toFile(static_cast<bool>(setup.File)),
      // The rest of a partial file, only if it is still the same file (else the whole one comes).
      m_resumeFields(m_toFile ? ResumeRequestFields(setup.Request->Partial) : std::string()),
      m_progress(setup.Request->Progress ? setup.Request->Progress : std::make_shared<DownloadProgress>()) {
    const PartialState partial = m_toFile ? setup.Request->Partial : PartialState{};
    m_sink =
        m_toFile ? MakeFileSink(std::move(setup.File), partial, setup.FileBufferSize, m_progress) : MakeMemorySink();
    m_lastHeard = GetTickCount64();
    m_progress->StartTime = clock();
    m_progress->Resumed = partial.Size;
    m_progress->Received = partial.Size;
}

CTransfer::~CTransfer() = default;

void CTransfer::AddRef() noexcept {
    ++m_references;
}

void CTransfer::Release() noexcept {
    if (--m_references != 0)
        return;
    {
        TransferTable& table = Table();
        std::lock_guard<std::mutex> guard(table.Lock);
        table.Live.erase(m_id);
    }
    delete this;
}

DWORD CTransfer::Open(HINTERNET session, const std::wstring& url) noexcept {
    // Start's own reference: a download that finishes on another thread at once must not take the
    // transfer away while this function still works with it.
    AddRef();
    zid::scope_exit done([this] { Release(); });
    std::unique_lock<std::recursive_mutex> working(m_working);
    m_state = TransferState::Opened;
    m_progress->State = m_state;
    const std::wstring headers = Widened(m_resumeFields);
    AddRef();
    m_awaitingHandle = true;
    HINTERNET handle =
        InternetOpenUrlW(session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                         static_cast<DWORD>(headers.size()), m_toFile ? kPackageOpenFlags : kPageOpenFlags, m_id);
    const DWORD error = handle ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_PENDING)
        return ERROR_SUCCESS;
    if (!handle) {
        if (m_awaitingHandle.exchange(false))
            Release();
        Abandon();
        return error;
    }
    TakeHandle(handle);
    working.unlock();
    Advance(nullptr);
    return ERROR_SUCCESS;
}

// The download ends before it began: no message, nothing to hand over.
void CTransfer::Abandon() noexcept {
    DownloadRequest& request = *m_request.load();
    m_finished = true;
    m_sink->Abandon(request);
    m_state = TransferState::Idle;
    m_progress->State = m_state;
    request.Transfer = 0;
    ++request.Finishes;
    request.Flags |= kRequestFinished;
    Release();  // the creator's reference
}

void CTransfer::OnStatus(HINTERNET handle, DWORD status, void* info, DWORD length) noexcept {
    // Windows passes an INTERNET_ASYNC_RESULT and Wine the handle itself; both begin with it.
    HINTERNET subject = info && length >= sizeof(HINTERNET) ? *static_cast<HINTERNET*>(info) : handle;
    switch (status) {
    case INTERNET_STATUS_HANDLE_CREATED:
        if (subject)
            TakeHandle(subject);
        break;
    case INTERNET_STATUS_HANDLE_CLOSING: {
        HINTERNET expected = subject;
        if (subject && m_created.compare_exchange_strong(expected, nullptr))
            Release();
        break;
    }
    case INTERNET_STATUS_REQUEST_COMPLETE:
        if (info && length >= sizeof(INTERNET_ASYNC_RESULT)) {
            const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
            Advance(result);
            // An open that failed before it made a handle: none will be reported.
            if (result->dwResult == 0 && result->dwError != ERROR_IO_PENDING && !m_created.load() &&
                m_awaitingHandle.exchange(false))
                Release();
        }
        break;
    default:
        break;
    }
}

// The request handle, from the open or from WinINet's report: the reference taken for it before the
// open is its own from now on (released on handle closing).
void CTransfer::TakeHandle(HINTERNET handle) noexcept {
    HINTERNET none = nullptr;
    if (!m_created.compare_exchange_strong(none, handle))
        return;
    if (!m_awaitingHandle.exchange(false))
        AddRef();
    m_handle = handle;
    // Cancelled before the handle existed: it is closed as soon as it does.
    if (m_finished.load())
        CloseRequestHandle();
}

void CTransfer::Advance(const INTERNET_ASYNC_RESULT* result) noexcept {
    m_lastHeard = GetTickCount64();
    std::lock_guard<std::recursive_mutex> working(m_working);
    if (m_finished.load())
        return;
    // WinINet's threads know nothing of the program's guard: an exception here (exhausted memory)
    // ends this download as failed, and the finished message still goes out.
    Next next = Next::End;
    try {
        next = Run(*m_request.load(), result);
    } catch (...) {
        RecordDownloadError(*m_request.load(), ERROR_NOT_ENOUGH_MEMORY, m_step);
    }
    // A Cancel that came while this thread held the download could not end it, and the read just
    // issued may wait on the server for ever: the download ends here (the read's room stays).
    DownloadRequest* request = m_request.load();
    if (next == Next::End || (request && request->Cancel.load()))
        Finish();
}

// The state machine: each step says whether to go on, to wait for WinINet or to end.
CTransfer::Next CTransfer::Run(DownloadRequest& request, const INTERNET_ASYNC_RESULT* result) {
    if (result && result->dwResult == 0) {
        if (result->dwError == ERROR_IO_PENDING)
            return Next::Wait;
        RecordDownloadError(request, result->dwError, kStepAsyncResult);
        return Next::End;
    }
    for (;;) {
        if (request.Cancel.load())
            return Next::End;
        Next next = Next::Wait;
        switch (m_state) {
        case TransferState::Opened:
            next = ReadHeaders(request);
            break;
        case TransferState::ReadyToRead:
            next = IssueRead(request);
            break;
        case TransferState::ChunkReady:
            next = TakeChunk(request);
            break;
        default:
            break;
        }
        if (next != Next::Go)
            return next;
    }
}

// Ends when the answer is refused (a redirect to http, a page too long, a file answer the download
// rules do not take).
CTransfer::Next CTransfer::ReadHeaders(DownloadRequest& request) {
    HINTERNET handle = m_handle.load();
    if (RedirectedToPlainHttp(handle, request.Url)) {
        RecordDownloadError(request, ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR, kStepSecurity);
        return Next::End;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    request.HttpStatus =
        HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ? status : 0;
    m_step = kStepHeaders;
    if (!m_sink->Accept(request, ReadResponseFields(handle, request.HttpStatus)))
        return Next::End;
    m_progress->ContentLength = m_sink->Total();
    m_progress->HeadersIn = true;
    Notify();
    m_state = TransferState::ReadyToRead;
    return Next::Go;
}

CTransfer::Next CTransfer::IssueRead(DownloadRequest& request) {
    m_step = kStepRead;
    const ReadRoom room = m_sink->NextRoom();
    m_read = INTERNET_BUFFERSW{};
    m_read.dwStructSize = sizeof(INTERNET_BUFFERSW);
    m_read.lpvBuffer = room.Data;
    m_read.dwBufferLength = room.Size;
    // Set before the read: its completion may arrive on another thread before the call returns.
    m_state = TransferState::ChunkReady;
    m_progress->State = m_state;
    if (request.Cancel.load())
        return Next::End;
    if (InternetReadFileExW(m_handle.load(), &m_read, IRF_ASYNC, m_id))
        return Next::Go;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING)
        return Next::Wait;  // the completion continues, on whichever thread it comes
    RecordDownloadError(request, error, kStepRead);
    return Next::End;
}

// A read of nothing is the end of the body.
CTransfer::Next CTransfer::TakeChunk(DownloadRequest& request) {
    const DWORD count = m_read.dwBufferLength;
    if (count == 0)
        return Next::End;
    m_lastHeard = GetTickCount64();
    m_step = m_toFile ? kStepWrite : kStepRead;
    if (!m_sink->Take(request, count))
        return Next::End;
    m_progress->Received.store(m_sink->BytesSoFar(), std::memory_order_relaxed);
    m_state = TransferState::ReadyToRead;
    return Next::Go;
}

// Ends a download the server has left waiting: interrupted, not cancelled (what arrived is kept).
void CTransfer::EndStalledDownload() noexcept {
    DownloadRequest* request = m_request.load();
    std::unique_lock<std::recursive_mutex> working(m_working, std::try_to_lock);
    // A thread working on the download has just heard from the server.
    if (!request || !working.owns_lock() || m_finished.load())
        return;
    RecordDownloadError(*request, ERROR_INTERNET_TIMEOUT, m_step);
    CloseRequestHandle();
    Finish();
}

// One notification waits in the queue at most: the window reads the record, not the message.
void CTransfer::Notify() noexcept {
    HWND notify = m_notify.load();
    if (!notify || m_progress->Notified.exchange(true))
        return;
    if (!PostMessageW(notify, kDownloadProgress, 0, 0))
        m_progress->Notified = false;
}

void CTransfer::Cancel() noexcept {
    DownloadRequest* request = m_request.load();
    if (!request)
        return;  // already handed over: nothing left to stop
    request->Cancel = true;
    CloseRequestHandle();
    // Whoever holds the lock sees the mark before its next step. Otherwise nothing is under way on
    // WinINet's side that will come back soon (a connection, headers, a read may wait on the server
    // for ever): the download ends here. A late completion then finds it finished.
    std::unique_lock<std::recursive_mutex> working(m_working, std::try_to_lock);
    if (working.owns_lock() && !m_finished.load())
        Finish();
}

void CTransfer::CloseRequestHandle() noexcept {
    zid::UniqueInternet closing(m_handle.exchange(nullptr));
}

// The one way a started download ends. The sink stays until the transfer is freed: a read that was
// under way when the download was cancelled may still be filling its room.
void CTransfer::Finish() noexcept {
    if (m_finished.exchange(true))
        return;
    DownloadRequest& request = *m_request.load();
    m_sink->End(request);
    request.Transfer = 0;
    ++request.Finishes;
    Publish(request);
    request.Flags |= kRequestFinished;
    m_state = TransferState::Idle;
    m_progress->State = m_state;
    m_progress->Ended.store(true, std::memory_order_release);
    Notify();
    HandOver();
    CloseRequestHandle();
    Release();  // the creator's reference
}

// The result as the notify window reads it once Ended is set.
void CTransfer::Publish(const DownloadRequest& request) noexcept {
    DownloadResult& result = m_progress->Result;
    result.HttpStatus = request.HttpStatus;
    result.ErrorCode = request.ErrorCode;
    result.ErrorStep = request.ErrorStep;
    try {
        result.ErrorText = request.ErrorText;
    } catch (const std::bad_alloc&) {
        result.ErrorText.clear();
    }
    result.Complete = (request.Flags.load() & kRequestComplete) != 0;
    result.Cancelled = request.Cancel.load();
    m_sink->Describe(request, result);
}

void CTransfer::HandOver() noexcept {
    DownloadRequest* request = m_request.exchange(nullptr);
    HWND owner = m_owner.load();
    if (!owner || !IsWindow(owner))
        return;         // an owned request then goes with the transfer
    m_owned.release();  // the receiver owns it from here on
    SendMessageW(owner, kDownloadFinished, 0, reinterpret_cast<LPARAM>(request));
}

}  // namespace zid
