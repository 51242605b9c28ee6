#include "net/download_transfer.h"

#include <ctime>
#include <mutex>
#include <new>
#include <unordered_map>

#include "win/errors.h"

namespace {

constexpr DWORD kOpenFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RESYNCHRONIZE;
constexpr size_t kChunkBufferSize = 4097;  // 4096 bytes per read and the terminator
// A page held in memory that announces more than this is refused as if memory had run out.
constexpr unsigned long long kMaxPageBuffer = 256ull << 20;

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
      m_fileBufferSize(setup.FileBufferSize) {
    m_progress.StartTime = clock();
    m_progress.Request = setup.Request;
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
    m_progress.State = TransferState::Opened;
    // Taken before the call: the pending open may complete (and end) before the call returns.
    m_pendingCursor = 1;
    BeginWaitCursor();
    HINTERNET handle = InternetOpenUrlW(session, url.c_str(), nullptr, 0, kOpenFlags, m_id);
    const DWORD error = handle ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_PENDING)
        return ERROR_SUCCESS;
    EndPendingCursor();
    if (!handle) {
        FinishAtOnce();
        return error;
    }
    m_handle = handle;
    Advance(nullptr);
    return ERROR_SUCCESS;
}

void CTransfer::FinishAtOnce() noexcept {
    DownloadRequest& request = *m_request.load();
    m_finished = true;
    if (m_file) {
        m_file.reset();
        DeleteFileW(request.LocalPath.c_str());
    }
    m_progress.State = TransferState::Idle;
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
        m_pending = false;
        if (info && length >= sizeof(INTERNET_ASYNC_RESULT))
            Advance(static_cast<const INTERNET_ASYNC_RESULT*>(info));
        break;
    default:
        break;
    }
}

void CTransfer::Advance(const INTERNET_ASYNC_RESULT* result) noexcept {
    // WinINet's threads know nothing of the program's guard: an exception here (exhausted memory)
    // ends this download as failed, and the finished message still goes out.
    try {
        Process(result);
    } catch (...) {
        if (m_finished.load())
            return;
        RecordDownloadError(*m_request.load(), ERROR_NOT_ENOUGH_MEMORY, m_step);
        Finish();
    }
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
        switch (m_progress.State) {
        case TransferState::Opened:
            ReadHeaders(request);
            m_progress.State = TransferState::ReadyToRead;
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

void CTransfer::ReadHeaders(DownloadRequest& request) {
    HINTERNET handle = m_handle.load();
    DWORD status = 0;
    DWORD size = sizeof(status);
    request.HttpStatus =
        HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ? status : 0;
    DWORD length = 0;
    size = sizeof(length);
    m_progress.ContentLength =
        HttpQueryInfoW(handle, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr) ? length
                                                                                                            : 0;
    if (m_toFile)
        m_bufferSize = m_fileBufferSize;
    else if (m_progress.ContentLength != 0)
        m_bufferSize = static_cast<unsigned long long>(m_progress.ContentLength) + 1;
    else
        m_bufferSize = kChunkBufferSize;
    SendProgress();
}

// A read fills the room left in the last buffer first, so a body that arrives in small pieces takes
// no more memory than its size. In memory mode only the first buffer has the announced length; the
// read that finds the end needs just a small one.
CTransfer::ReceiveBuffer& CTransfer::BufferWithRoom() {
    if (!m_buffers.empty() && m_buffers.back()->Used + 1 < m_buffers.back()->Size)
        return *m_buffers.back();
    const unsigned long long size = m_buffers.empty() ? m_bufferSize : kChunkBufferSize;
    if (size > kMaxPageBuffer && !m_toFile)
        throw std::bad_alloc();
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
    m_progress.State = TransferState::ChunkReady;
    m_pending = true;
    // Checked after m_pending is set, as Cancel sets the flag before it looks at m_pending: either
    // Cancel closes the handle under this read, or this check sees the flag.
    if (request.Cancel.load()) {
        m_pending = false;
        Finish();
        return false;
    }
    if (InternetReadFileExW(m_handle.load(), &buffer.Header, IRF_ASYNC, m_id)) {
        m_pending = false;
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING)
        return false;  // the transfer may already be another thread's: touch nothing more
    m_pending = false;
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
    m_progress.Received += count;
    SendProgress();
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
    m_progress.State = TransferState::ReadyToRead;
    if (request.Cancel.load()) {
        Finish();
        return false;
    }
    return true;
}

void CTransfer::SendProgress() noexcept {
    HWND notify = m_notify.load();
    if (notify && IsWindow(notify))
        SendMessageW(notify, kDownloadProgress, 0, reinterpret_cast<LPARAM>(&m_progress));
}

void CTransfer::Cancel() noexcept {
    DownloadRequest* request = m_request.load();
    if (!request)
        return;  // already handed over: nothing left to stop
    request->Cancel = true;
    // Only an outstanding read is aborted here; otherwise the thread that runs the download sees the
    // flag before it issues the next read.
    if (m_pending.load())
        CloseRequestHandle();
}

void CTransfer::CloseRequestHandle() noexcept {
    zid::UniqueInternet closing(m_handle.exchange(nullptr));
}

void CTransfer::Finish() noexcept {
    if (m_finished.exchange(true))
        return;
    DownloadRequest& request = *m_request.load();
    CloseFile(request);
    CollectBody(request);
    m_buffers.clear();
    request.Transfer = 0;
    ++request.Finishes;
    request.Flags |= kRequestFinished;
    m_progress.State = TransferState::Idle;
    SendProgress();
    HandOver();
    CloseRequestHandle();
    Release();  // the creator's reference
}

void CTransfer::CloseFile(DownloadRequest& request) noexcept {
    if (!m_file)
        return;
    if (!CloseHandle(m_file.release()))
        RecordDownloadError(request, GetLastError(), kStepClose);
    if (request.Cancel.load()) {
        DeleteFileW(request.LocalPath.c_str());
        request.LocalPath.clear();
    }
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
        request.Data.clear();
    }
}

void CTransfer::HandOver() noexcept {
    DownloadRequest* request = m_request.exchange(nullptr);
    HWND owner = m_owner.load();
    if (!owner || !IsWindow(owner))
        return;         // an owned request then goes with the transfer
    m_owned.release();  // the receiver owns it from here on
    SendMessageW(owner, kDownloadFinished, 0, reinterpret_cast<LPARAM>(request));
}
