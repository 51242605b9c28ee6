// The record that describes one download of the download engine.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "http/resume_policy.h"
#include "net/download_messages.h"
#include "win/handles.h"

namespace zid {

enum class DownloadKind : int {
    Package = -1,        // a package file; the request belongs to whoever receives it when finished
    CurrentRelease = 0,  // the catalogue page "Download.htm"
    Archive = 1,         // the catalogue page "Archive.htm"
};

// Bits of DownloadRequest::Flags.
inline constexpr DWORD kRequestFinished = 1;   // the last download of the request has ended
inline constexpr DWORD kRequestHeapOwned = 2;  // freed by whoever receives it when finished
inline constexpr DWORD kRequestToFile = 4;     // the body goes to File, not to Data
inline constexpr DWORD kRequestComplete = 8;   // every byte arrived; a file download took its final name

// Step names stored with a download's first error.
inline constexpr char kStepAsyncResult[] = "Check async result";
inline constexpr char kStepRead[] = "InternetReadFileEx";
inline constexpr char kStepWrite[] = "WriteFile";
inline constexpr char kStepClose[] = "CloseHandle";
inline constexpr char kStepHeaders[] = "HttpQueryInfo";  // a file answer whose headers cannot be taken
inline constexpr char kStepLength[] = "Content-Length";  // the body ended before its announced length
inline constexpr char kStepEnd[] = "End of body";        // the body ended with nothing to prove it whole
inline constexpr char kStepRange[] = "Content-Range";    // a part that does not continue the partial file
inline constexpr char kStepRename[] = "MoveFileEx";      // the whole file could not take its final name
inline constexpr char kStepSecurity[] = "Security";      // refused for the connection's security (a redirect to http)
inline constexpr char kStepSpace[] = "GetDiskFreeSpaceEx";  // the file would not fit on the download folder's drive

// Bytes a page held in memory may have; a longer one is refused with ERROR_FILE_TOO_LARGE.
inline constexpr unsigned long long kMaxPageBytes = 4ull << 20;

// The engine's worker threads write the counters and results while a download runs; the owner reads
// them once it has been told the download finished. The counters are atomic because the owner also
// asks "in progress?" while a download may be ending.
struct DownloadRequest {
    DownloadRequest() = default;
    DownloadRequest(std::wstring url, DownloadKind kind);
    DownloadRequest(const DownloadRequest&) = delete;
    DownloadRequest& operator=(const DownloadRequest&) = delete;
    // A request freed with its file still attached (never started) closes it and deletes a file it
    // created; a partial file it was to continue is kept.
    ~DownloadRequest();

    std::wstring Url;  // absolute address to fetch
    DownloadKind Kind = DownloadKind::Package;
    std::atomic<DWORD> Flags{0};   // kRequest... bits
    std::atomic<int> Starts{0};    // incremented by every start
    std::atomic<int> Finishes{0};  // incremented when a download of the request ends, however it ends
    DWORD HttpStatus = 0;          // numeric status of the response; 0 when there was none
    DWORD ErrorCode = 0;           // first failure of the last download; 0 when none
    const char* ErrorStep = "";    // kStep... name of the step that failed first; empty when none
    std::wstring ErrorText;        // the server's words for ERROR_INTERNET_EXTENDED_ERROR, taken where it failed
    std::wstring LocalPath;        // the partial file being written; the final file once complete;
                                   // emptied when the download deletes it
    std::wstring FinalPath;        // the name a file download takes once every byte has arrived
    std::wstring ResumePath;       // where the address, validator and total of the partial file are kept
    zid::PartialState Partial;     // what the partial file holds: only the rest is asked for
    zid::UniqueFile File;          // the open partial file until the download starts
    std::shared_ptr<DownloadProgress> Progress;  // what the download publishes (made at start if null)
    std::string Data;                            // the whole body after a download into memory
    DWORD_PTR Transfer = 0;                      // the running download's transfer (CVNInet::Cancel); 0 when none
    std::atomic<bool> Cancel{false};             // set through CVNInet::Cancel to stop the download
};

// A heap-owned package request for url.
std::unique_ptr<DownloadRequest> MakePackageRequest(const std::wstring& url);

// Whether the receiver of a finished request owns it: package requests are handed over, the two
// catalogue requests live for the whole run and are reused.
inline bool IsHandedOver(const DownloadRequest& request) {
    return request.Kind == DownloadKind::Package;
}

// A download of the request has started and not yet ended.
inline bool IsInProgress(const DownloadRequest& request) {
    return request.Finishes.load() < request.Starts.load();
}

// The last download of the request has ended (its results can be read).
inline bool IsFinished(const DownloadRequest& request) {
    return (request.Flags.load() & kRequestFinished) != 0;
}

// Stores code and step (and, for ERROR_INTERNET_EXTENDED_ERROR, the calling thread's server text) unless
// the request already holds an error: only the first error of a download is kept.
void RecordDownloadError(DownloadRequest& request, DWORD code, const char* step);

// Clears what the last download left (finished and complete flags, status, error, data, cancel) for a
// new start.
void ResetDownloadResult(DownloadRequest& request);

}  // namespace zid
