#include "net/download_engine.h"

#include <atomic>

#include "net/download_transfer.h"
#include "win/errors.h"
#include "win/program.h"

namespace zid {

namespace {

constexpr DWORD kWatchPeriod = 1000;  // milliseconds between two looks for stalled downloads

}  // namespace

CVNInet::~CVNInet() {
    CTransfer::DetachAll();
    m_watch.reset();
    if (m_session)
        InternetSetStatusCallbackW(m_session.get(), nullptr);
    m_session.reset();
    m_ready = false;
}

DWORD CVNInet::Open(HWND owner) {
    m_owner = owner;
    m_session.reset(InternetOpenW(kProgramName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!m_session)
        return GetLastError();
    if (InternetSetStatusCallbackW(m_session.get(), &CVNInet::StatusCallback) == INTERNET_INVALID_STATUS_CALLBACK)
        return GetLastError();
    // Where WinINet ignores one of them, the watch still ends the download.
    DWORD timeout = kNetworkTimeout;
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionW(m_session.get(), option, &timeout, sizeof(timeout));
    HANDLE watch = nullptr;
    if (!CreateTimerQueueTimer(&watch, nullptr, &CVNInet::Watch,
                               reinterpret_cast<void*>(static_cast<UINT_PTR>(m_stallLimit)), kWatchPeriod, kWatchPeriod,
                               WT_EXECUTEDEFAULT))
        return GetLastError();
    m_watch.reset(watch);
    m_ready = true;
    return ERROR_SUCCESS;
}

size_t CVNInet::RunningTransfers() {
    return CTransfer::CountRunning();
}

void CALLBACK CVNInet::Watch(void* stallLimit, BOOLEAN) {
    CTransfer::EndStalled(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(stallLimit)));
}

bool CVNInet::Start(DownloadRequest& request, HWND notify, DWORD_PTR* transfer) {
    const DWORD error = StartRequest(request, nullptr, notify, transfer);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

bool CVNInet::StartPackage(std::unique_ptr<DownloadRequest> request, HWND notify, DWORD_PTR& transfer) {
    DownloadRequest& started = *request;
    const DWORD error = StartRequest(started, std::move(request), notify, &transfer);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

DWORD CVNInet::StartRequest(DownloadRequest& request, std::unique_ptr<DownloadRequest> owned, HWND notify,
                            DWORD_PTR* transfer) {
    ResetDownloadResult(request);
    ++request.Starts;
    if (!m_session) {
        // No session (it could not be opened): nothing can start; counted as ended, as below.
        ++request.Finishes;
        request.Flags |= kRequestFinished;
        return ERROR_INVALID_HANDLE;
    }
    TransferSetup setup;
    if (request.Flags.load() & kRequestToFile) {
        if (!request.File) {
            // Counted as ended: the request must not look busy for ever.
            ++request.Finishes;
            request.Flags |= kRequestFinished;
            return ERROR_INVALID_HANDLE;
        }
        setup.File = std::move(request.File);
    }
    setup.Owner = m_owner;
    setup.Notify = notify;
    setup.Request = &request;
    setup.Owned = std::move(owned);
    setup.FileBufferSize = m_fileBufferSize;
    // A copy: once the download runs, a package request may be freed by its receiver at any time.
    const std::wstring url = request.Url;
    CTransfer* running = CTransfer::Create(std::move(setup));
    const DWORD_PTR id = running->Id();  // the transfer itself may be gone once it is open
    request.Transfer = id;
    const DWORD error = running->Open(m_session.get(), url);
    if (error == ERROR_SUCCESS && transfer)
        *transfer = id;
    return error;
}

void CVNInet::Cancel(DWORD_PTR transfer) {
    CTransfer* running = CTransfer::Find(transfer);
    if (!running)
        return;
    running->Cancel();
    running->Release();
}

void CALLBACK CVNInet::StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                      DWORD infoLength) {
    // Every chunk brings several other statuses; only these three concern a transfer.
    if (!context || (status != INTERNET_STATUS_HANDLE_CREATED && status != INTERNET_STATUS_HANDLE_CLOSING &&
                     status != INTERNET_STATUS_REQUEST_COMPLETE))
        return;
    CTransfer* transfer = CTransfer::Find(context);
    if (!transfer)
        return;
    transfer->OnStatus(handle, status, info, infoLength);
    transfer->Release();
}

}  // namespace zid
