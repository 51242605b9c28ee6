#include "net/download_request.h"

#include <wininet.h>

#include <new>

#include "win/errors.h"

namespace zid {

DownloadRequest::DownloadRequest(std::wstring url, DownloadKind kind)
    : Url(std::move(url)), Kind(kind), Flags(kind == DownloadKind::Package ? kRequestHeapOwned : 0) {}

DownloadRequest::~DownloadRequest() {
    if (!File)
        return;
    const DWORD error = GetLastError();
    File.reset();
    if (Partial.Size == 0)
        DeleteFileW(LocalPath.c_str());
    SetLastError(error);
}

std::unique_ptr<DownloadRequest> MakePackageRequest(const std::wstring& url) {
    return std::make_unique<DownloadRequest>(url, DownloadKind::Package);
}

void RecordDownloadError(DownloadRequest& request, DWORD code, const char* step) {
    if (request.ErrorCode != 0 || code == 0)
        return;
    request.ErrorCode = code;
    request.ErrorStep = step;
    if (code != ERROR_INTERNET_EXTENDED_ERROR)
        return;
    // Read here, on the thread that failed: WinINet keeps the server's words per thread.
    try {
        request.ErrorText = GetLastResponseText();
    } catch (const std::bad_alloc&) {
        request.ErrorText.clear();
    }
}

void ResetDownloadResult(DownloadRequest& request) {
    request.Flags &= ~(kRequestFinished | kRequestComplete);
    request.HttpStatus = 0;
    request.ErrorCode = 0;
    request.ErrorStep = "";
    request.ErrorText.clear();
    request.Data.clear();
    request.Cancel = false;
}

}  // namespace zid
