// Where a download's body goes: a page into memory, a package into its partial file, as the download
// rules say. Only the transfer uses this header; it calls its sink from one thread at a time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "http/resume_policy.h"
#include "net/download_messages.h"
#include "net/download_request.h"
#include "win/handles.h"

namespace zid {

// The room the next read fills.
struct ReadRoom {
    char* Data = nullptr;
    DWORD Size = 0;
};

class CBodySink {
public:
    virtual ~CBodySink() = default;

    // The response's headers are in (request.HttpStatus set): plans the body; false when the download
    // ends here (the reason, if it is an error, recorded in request).
    virtual bool Accept(DownloadRequest& request, const ResponseFields& fields) = 0;
    // Where the next read puts its bytes. The room stays valid until the sink goes: a read under way
    // when the download was cancelled may still fill it.
    virtual ReadRoom NextRoom() = 0;
    // count (more than 0) bytes arrived in the last room; false when the download ends here (recorded).
    virtual bool Take(DownloadRequest& request, DWORD count) = 0;
    // The download has ended, however it ended: judges whether the body is whole and puts it where it
    // belongs (request.Data; or the final name, a partial file kept for later, or nothing on disk).
    virtual void End(DownloadRequest& request) noexcept = 0;
    // The download ended before it began (its open failed).
    virtual void Abandon(DownloadRequest& request) noexcept = 0;
    // What the result tells of the body beyond the request's own fields (Complete and Cancelled set).
    virtual void Describe(const DownloadRequest& request, DownloadResult& result) const noexcept = 0;
    // Bytes of the whole file so far, a continued partial file's included.
    virtual std::uint64_t BytesSoFar() const = 0;

    // The whole file's bytes as far as the response told them; 0 when unknown.
    std::uint64_t Total() const { return m_plan.Total.value_or(0); }

protected:
    ResponsePlan m_plan;           // what the response brings
    std::uint64_t m_received = 0;  // body bytes of this response so far
};

// A page into request.Data: any status, at most kMaxPageBytes.
std::unique_ptr<CBodySink> MakeMemorySink();

// A package into file, the partial file that partial describes (continued when the answer allows),
// read bufferSize bytes at a time (a terminator included); what it starts over it shows in progress.
std::unique_ptr<CBodySink> MakeFileSink(UniqueFile file, const PartialState& partial, DWORD bufferSize,
                                        std::shared_ptr<DownloadProgress> progress);

}  // namespace zid
