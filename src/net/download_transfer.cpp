#include "net/download_transfer.h"

#include <ctime>
#include <mutex>
#include <new>
#include <unordered_map>

#include "net/local_file.h"
#include "net/response_headers.h"
#include "win/errors.h"

namespace {

constexpr DWORD kOpenFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RESYNCHRONIZE;
constexpr size_t kChunkBufferSize = 4097;  // 4096 bytes per read and the terminator

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
    // A transfer whose last reference is being given up is as good as gone.
    CTransfer* transfer = found->second;
    LONG references = transfer->m_references.load();
    while (references > 0 && !transfer->m_references.compare_exchange_weak(references, references + 1)) {}
    return references > 0 ? transfer : nullptr;
}

void CTransfer::DetachAll() noexcept {
    TransferTable& table = Table();
    std::lock_guard<std::mutex> guard(table.Lock);
    for (auto& [id, transfer] : table.Live) {
        transfer->m_owner = nullptr;
        transfer->m_notify = nullptr;
    }
}

CTransfer::CTransfer(DWORD_PTR id, TransferSetup setup)
    : m_id(id),
      m_owner(setup.Owner),
      m_notify(setup.Notify),
      m_request(setup.Request),
      m_owned(std::move(setup.Owned)),
      m_toFile(static_cast<bool>(setup.File)),
      m_file(std::move(setup.File)),
      m_progress(setup.Request->Progress ? setup.Request->Progress : std::make_shared<DownloadProgress>()),
      m_resumeFrom(m_toFile ? setup.Request->ResumeFrom : 0),
      m_fileBufferSize(setup.FileBufferSize) {
    m_progress->StartTime = clock();
    m_progress->Resumed = m_resumeFrom;
    m_progress->Received = m_resumeFrom;
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
    EndPendingCursor();
    delete this;
}

void CTransfer::EndPendingCursor() noexcept {
    if (m_pendingCursor.exchange(0) > 0)
        EndWaitCursor();
}

DWORD CTransfer::Open(HINTERNET session, const std::wstring& url) noexcept {
    // Start's own reference: a download that finishes on another thread at once must not take the
    // transfer away while this function still works with it.
    AddRef();
    zid::scope_exit done([this] { Release(); });
    std::unique_lock<std::recursive_mutex> working(m_working);
    m_state = TransferState::Opened;
    m_progress->State = m_state;
    // The rest of a partial file, only if it is still the same file (else the whole one comes).
    std::wstring headers;
    if (m_resumeFrom > 0) {
        const std::string& validator = m_request.load()->Validator;
        headers = L"Range: bytes=" + std::to_wstring(m_resumeFrom) + L"-\r\nIf-Range: " +
                  std::wstring(validator.begin(), validator.end()) + L"\r\n";
    }
    // Taken before the call: the pending open may complete (and end) before the call returns.
    m_pendingCursor = 1;
    BeginWaitCursor();
    HINTERNET handle = InternetOpenUrlW(session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                        static_cast<DWORD>(headers.size()), kOpenFlags, m_id);
    const DWORD error = handle ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_PENDING)
        return ERROR_SUCCESS;
    if (!handle) {
        FinishAtOnce();
        return error;
    }
    m_handle = handle;
    working.unlock();
    Advance(nullptr);
    return ERROR_SUCCESS;
}

void CTransfer::FinishAtOnce() noexcept {
    DownloadRequest& request = *m_request.load();
    m_finished = true;
    EndPendingCursor();
    if (m_file) {
        m_file.reset();
        // A partial file that was to be continued stays for the next attempt.
        if (m_resumeFrom == 0)
            DeleteFileW(request.LocalPath.c_str());
    }
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
    case INTERNET_STATUS_HANDLE_CREATED: {
        HINTERNET none = nullptr;
        if (subject && m_created.compare_exchange_strong(none, subject)) {
            AddRef();
            m_handle = subject;
            // Cancelled before the handle existed: it is closed as soon as it does.
            if (m_finished.load())
                CloseRequestHandle();
        }
        break;
    }
    case INTERNET_STATUS_HANDLE_CLOSING: {
        HINTERNET expected = subject;
        if (subject && m_created.compare_exchange_strong(expected, nullptr))
            Release();
        break;
    }
    case INTERNET_STATUS_REQUEST_COMPLETE:
        if (info && length >= sizeof(INTERNET_ASYNC_RESULT))
            Advance(static_cast<const INTERNET_ASYNC_RESULT*>(info));
        break;
    default:
        break;
    }
}

void CTransfer::Advance(const INTERNET_ASYNC_RESULT* result) noexcept {
    std::lock_guard<std::recursive_mutex> working(m_working);
    // WinINet's threads know nothing of the program's guard: an exception here (exhausted memory)
    // ends this download as failed, and the finished message still goes out.
    try {
        Process(result);
    } catch (...) {
        if (m_finished.load())
            return;
        RecordDownloadError(*m_request.load(), ERROR_NOT_ENOUGH_MEMORY, m_step);
        Finish();
        return;
    }
    // A Cancel that came while this thread held the download could not end it, and the read just
    // issued may wait on the server for ever: the download ends here (the read's buffer stays).
    DownloadRequest* request = m_request.load();
    if (!m_finished.load() && request && request->Cancel.load())
        Finish();
}

void CTransfer::Process(const INTERNET_ASYNC_RESULT* result) {
    if (m_finished.load())
        return;
    DownloadRequest& request = *m_request.load();
    if (result && result->dwResult == 0) {
        if (result->dwError == ERROR_IO_PENDING)
            return;
        RecordDownloadError(request, result->dwError, kStepAsyncResult);
        Finish();
        return;
    }
    if (request.Cancel.load()) {
        Finish();
        return;
    }
    for (;;) {
        switch (m_state) {
        case TransferState::Opened:
            if (!ReadHeaders(request))
                return;
            m_state = TransferState::ReadyToRead;
            break;
        case TransferState::ReadyToRead:
            if (!IssueRead(request))
                return;
            break;
        case TransferState::ChunkReady:
            if (!TakeChunk(request))
                return;
            break;
        default:
            return;
        }
    }
}

// False when the download ended here (refused answer, page too long, partial file of no use).
bool CTransfer::ReadHeaders(DownloadRequest& request) {
    HINTERNET handle = m_handle.load();
    if (RedirectedToPlainHttp(handle, request.Url)) {
        RecordDownloadError(request, ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR, kStepSecurity);
        Finish();
        return false;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    request.HttpStatus =
        HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ? status : 0;
    // As text: a number flag would cut a length of 4 GB or more to 32 bits.
    const std::wstring length = ResponseHeader(handle, HTTP_QUERY_CONTENT_LENGTH);
    m_contentLength = length.empty() ? 0 : _wcstoui64(length.c_str(), nullptr, 10);
    m_progress->ContentLength = m_contentLength;
    if (m_toFile) {
        m_bufferSize = m_fileBufferSize;
        if (!AcceptFileResponse(request))
            return false;
    } else if (m_contentLength > kMaxPageBytes) {
        RecordDownloadError(request, ERROR_FILE_TOO_LARGE, kStepRead);
        Finish();
        return false;
    } else {
        m_bufferSize = m_contentLength != 0 ? m_contentLength + 1 : kChunkBufferSize;
    }
    m_progress->HeadersIn = true;
    Notify();
    return true;
}

// Only a whole file (200) or the rest of the partial one (206) is written; any other answer ends the
// download with nothing written and the partial file deleted.
bool CTransfer::AcceptFileResponse(DownloadRequest& request) {
    if (request.HttpStatus == 206 && m_resumeFrom > 0)
        return AcceptPart(request);
    if (request.HttpStatus == 200)
        return StartOver(request);
    m_discard = true;
    Finish();
    return false;
}

// The part must continue the partial file exactly up to the end of the same whole.
bool CTransfer::AcceptPart(DownloadRequest& request) {
    unsigned long long first = 0;
    unsigned long long last = 0;
    unsigned long long total = 0;
    if (!ParseContentRange(ResponseHeader(m_handle.load(), HTTP_QUERY_CONTENT_RANGE), first, last, total) ||
        first != m_resumeFrom || last + 1 != total || (m_contentLength != 0 && m_contentLength != total - first)) {
        RecordDownloadError(request, ERROR_INVALID_DATA, kStepRange);
        m_discard = true;
        Finish();
        return false;
    }
    m_contentLength = total - first;
    m_progress->ContentLength = total;
    return true;
}

// A whole file comes: what the partial file held is dropped, and its new validator kept with it.
bool CTransfer::StartOver(DownloadRequest& request) {
    m_step = kStepWrite;
    if (m_resumeFrom > 0 &&
        (!SetFilePointerEx(m_file.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file.get()))) {
        RecordDownloadError(request, GetLastError(), kStepWrite);
        Finish();
        return false;
    }
    m_resumeFrom = 0;
    m_progress->Resumed = 0;
    m_progress->Received = 0;
    const std::string validator = ResponseValidator(m_handle.load());
    // Without a validator (or a record) the file could not be recognised later: it cannot be continued.
    if (validator.empty() || SaveResumeRecord(request, validator) != ERROR_SUCCESS)
        DeleteFileW(request.ResumePath.c_str());
    return true;
}

// A read fills the room left in the last buffer first, so a body that arrives in small pieces takes
// no more memory than its size. In memory mode only the first buffer has the announced length; the
// read that finds the end needs just a small one.
CTransfer::ReceiveBuffer& CTransfer::BufferWithRoom() {
    if (!m_buffers.empty() && m_buffers.back()->Used + 1 < m_buffers.back()->Size)
        return *m_buffers.back();
    const unsigned long long size = m_buffers.empty() ? m_bufferSize : kChunkBufferSize;
    auto buffer = std::make_unique<ReceiveBuffer>();
    buffer->Size = static_cast<size_t>(size);
    buffer->Bytes.reset(new char[buffer->Size]);
    m_buffers.push_back(std::move(buffer));
    return *m_buffers.back();
}

bool CTransfer::IssueRead(DownloadRequest& request) {
    m_step = kStepRead;
    ReceiveBuffer& buffer = BufferWithRoom();
    buffer.Header = INTERNET_BUFFERSW{};
    buffer.Header.dwStructSize = sizeof(INTERNET_BUFFERSW);
    buffer.Header.lpvBuffer = buffer.Bytes.get() + buffer.Used;
    buffer.Header.dwBufferLength = static_cast<DWORD>(buffer.Size - 1 - buffer.Used);
    // Set before the read: its completion may arrive on another thread before the call returns.
    m_state = TransferState::ChunkReady;
    m_progress->State = m_state;
    if (request.Cancel.load()) {
        Finish();
        return false;
    }
    if (InternetReadFileExW(m_handle.load(), &buffer.Header, IRF_ASYNC, m_id))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING)
        return false;  // the completion continues, on whichever thread it comes
    RecordDownloadError(request, error, kStepRead);
    Finish();
    return false;
}

bool CTransfer::TakeChunk(DownloadRequest& request) {
    ReceiveBuffer& buffer = *m_buffers.back();
    const DWORD count = buffer.Header.dwBufferLength;
    char* chunk = buffer.Bytes.get() + buffer.Used;
    chunk[count] = '\0';
    if (count == 0) {
        Finish();
        return false;
    }
    buffer.Used += count;
    m_received += count;
    if (!m_toFile && m_received > kMaxPageBytes) {
        RecordDownloadError(request, ERROR_FILE_TOO_LARGE, kStepRead);
        Finish();
        return false;
    }
    if (m_toFile) {
        m_step = kStepWrite;
        DWORD written = 0;
        if (!WriteFile(m_file.get(), chunk, count, &written, nullptr) || written != count) {
            const DWORD error = GetLastError();
            RecordDownloadError(request, error ? error : ERROR_WRITE_FAULT, kStepWrite);
            Finish();
            return false;
        }
        buffer.Used = 0;
    }
    m_progress->Received.store(m_resumeFrom + m_received, std::memory_order_relaxed);
    m_state = TransferState::ReadyToRead;
    if (request.Cancel.load()) {
        Finish();
        return false;
    }
    return true;
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

// The receive buffers stay until the transfer is freed: a read that was under way when the download
// was cancelled may still be filling one.
void CTransfer::Finish() noexcept {
    if (m_finished.exchange(true))
        return;
    DownloadRequest& request = *m_request.load();
    EndPendingCursor();
    CheckLength(request);
    CloseFile(request);
    CollectBody(request);
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

// A body that ends cleanly before its announced length was cut short all the same.
void CTransfer::CheckLength(DownloadRequest& request) noexcept {
    if (request.Cancel.load() || m_discard || request.ErrorCode != 0 || m_contentLength == 0)
        return;
    if (m_received < m_contentLength)
        RecordDownloadError(request, ERROR_INTERNET_CONNECTION_ABORTED, kStepLength);
}

// A whole file takes its final name; a cancelled one, or one of no use, is deleted with its record;
// an interrupted one that can be continued stays.
void CTransfer::CloseFile(DownloadRequest& request) noexcept {
    if (!m_toFile) {
        if (request.ErrorCode == 0 && !request.Cancel.load())
            request.Flags |= kRequestComplete;
        return;
    }
    if (m_file && !CloseHandle(m_file.release()))
        RecordDownloadError(request, GetLastError(), kStepClose);
    // Without its record (no answer yet, or no validator) a partial file could never be continued.
    const bool continuable = GetFileAttributesW(request.ResumePath.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (request.Cancel.load() || m_discard || (request.ErrorCode != 0 && !continuable)) {
        DeleteFileW(request.LocalPath.c_str());
        DeleteFileW(request.ResumePath.c_str());
        request.LocalPath.clear();
        return;
    }
    if (request.ErrorCode != 0)
        return;
    if (!MoveFileExW(request.LocalPath.c_str(), request.FinalPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        RecordDownloadError(request, GetLastError(), kStepRename);
        return;
    }
    DeleteFileW(request.ResumePath.c_str());
    request.LocalPath = request.FinalPath;
    request.Flags |= kRequestComplete;
}

void CTransfer::CollectBody(DownloadRequest& request) noexcept {
    if (m_toFile)
        return;
    size_t total = 0;
    for (const auto& buffer : m_buffers)
        total += buffer->Used;
    try {
        std::string data;
        data.reserve(total);
        for (const auto& buffer : m_buffers)
            data.append(buffer->Bytes.get(), buffer->Used);
        request.Data = std::move(data);
    } catch (const std::bad_alloc&) {
        RecordDownloadError(request, ERROR_NOT_ENOUGH_MEMORY, kStepRead);
        request.Flags &= ~kRequestComplete;
        request.Data.clear();
    }
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
    result.Resumable = m_toFile && !result.Complete && !request.LocalPath.empty();
}

void CTransfer::HandOver() noexcept {
    DownloadRequest* request = m_request.exchange(nullptr);
    HWND owner = m_owner.load();
    if (!owner || !IsWindow(owner))
        return;         // an owned request then goes with the transfer
    m_owned.release();  // the receiver owns it from here on
    SendMessageW(owner, kDownloadFinished, 0, reinterpret_cast<LPARAM>(request));
}
