#include <optional>

#include "net/body_sink.h"
#include "net/local_file.h"

namespace zid {

namespace {

// Free bytes for this user on the drive of the folder that holds path; none when they cannot be read.
std::optional<std::uint64_t> FreeBytesBeside(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    ULARGE_INTEGER free{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr))
        return std::nullopt;
    return free.QuadPart;
}

class CFileSink final : public CBodySink {
public:
    CFileSink(UniqueFile file, const PartialState& partial, DWORD bufferSize,
              std::shared_ptr<DownloadProgress> progress)
        : m_file(std::move(file)),
          m_partial(partial),
          m_recorded(CanContinue(partial)),
          m_bufferSize(bufferSize),
          m_progress(std::move(progress)) {}

    bool Accept(DownloadRequest& request, const ResponseFields& fields) override;

    // One buffer, reused: a package never sits in memory.
    ReadRoom NextRoom() override {
        if (!m_buffer)
            m_buffer.reset(new char[m_bufferSize]);
        return {m_buffer.get(), m_bufferSize - 1};
    }

    bool Take(DownloadRequest& request, DWORD count) override {
        DWORD written = 0;
        if (!WriteFile(m_file.get(), m_buffer.get(), count, &written, nullptr) || written != count) {
            const DWORD error = GetLastError();
            RecordDownloadError(request, error ? error : ERROR_WRITE_FAULT, kStepWrite);
            return false;
        }
        m_received += count;
        return true;
    }

    void End(DownloadRequest& request) noexcept override {
        JudgeEnd(request);
        Close(request);
    }

    // A partial file that was to be continued stays for the next attempt; a new one goes.
    void Abandon(DownloadRequest& request) noexcept override {
        m_file.reset();
        if (m_partial.Size == 0)
            DeleteFileW(request.LocalPath.c_str());
    }

    void Describe(const DownloadRequest& request, DownloadResult& result) const noexcept override {
        result.Resumable = !result.Complete && !request.LocalPath.empty();
        result.AskAgain = !result.Cancelled && m_askAgain;
        result.NeededBytes = m_needed;
        result.FreeBytes = m_free;
    }

    std::uint64_t BytesSoFar() const override { return m_partial.Size + m_received; }

private:
    bool HasRoomFor(DownloadRequest& request, std::uint64_t bytes, std::uint64_t freed);
    bool StartOver(DownloadRequest& request);
    void SaveRecord(DownloadRequest& request, const PartialState& partial) noexcept;
    void JudgeEnd(DownloadRequest& request) noexcept;
    void Close(DownloadRequest& request) noexcept;

    UniqueFile m_file;
    PartialState m_partial;  // the partial file before this response's body
    bool m_recorded;         // a resume record vouches for the partial file
    const DWORD m_bufferSize;
    std::shared_ptr<DownloadProgress> m_progress;
    std::unique_ptr<char[]> m_buffer;
    bool m_discard = false;      // the partial file is of no use: delete it at the end
    bool m_whole = false;        // every byte of the file is there
    bool m_askAgain = false;     // a new request may finish the file at once
    std::uint64_t m_needed = 0;  // kStepSpace: bytes the body would have written
    std::uint64_t m_free = 0;    // kStepSpace: bytes free on the folder's drive
};

// Only the whole file, the rest of the partial one, or word that the partial one is whole is taken,
// as the download rules say; anything else ends the download with nothing written.
bool CFileSink::Accept(DownloadRequest& request, const ResponseFields& fields) {
    m_plan = PlanResponse(m_partial, fields);
    switch (m_plan.Action) {
    case ResponseAction::StartOver:
        return StartOver(request);
    case ResponseAction::Continue:
        if (!HasRoomFor(request, *m_plan.BodyBytes, 0))
            return false;
        SaveRecord(request, PartialState{m_partial.Size, m_plan.Source, m_plan.Total});
        return true;
    case ResponseAction::Whole:
        m_whole = true;
        SaveRecord(request, PartialState{m_partial.Size, m_plan.Source, m_plan.Total});
        return false;
    case ResponseAction::Discard:
        RecordDownloadError(request, ERROR_INVALID_DATA, kStepRange);
        m_discard = true;
        m_askAgain = true;
        return false;
    case ResponseAction::Refuse:
        // An error page is told by its status; a file answer that cannot be taken is an error.
        if (request.HttpStatus == 200 || request.HttpStatus == 206 || request.HttpStatus == 416)
            RecordDownloadError(request, ERROR_HTTP_INVALID_SERVER_RESPONSE, kStepHeaders);
        return false;
    }
    return false;
}

// Whether bytes more fit on the download folder's drive, the freed bytes of the partial file counted
// as free; if not, the error says so (with both figures) and nothing is to be written.
bool CFileSink::HasRoomFor(DownloadRequest& request, std::uint64_t bytes, std::uint64_t freed) {
    const std::optional<std::uint64_t> free = FreeBytesBeside(request.LocalPath);
    if (!free || bytes <= *free + freed)
        return true;
    m_needed = bytes;
    m_free = *free + freed;
    RecordDownloadError(request, ERROR_DISK_FULL, kStepSpace);
    return false;
}

// A whole file comes: what the partial file held is dropped, and the new file's validator and size
// are kept with it. False when it cannot be written (the partial file is then of no use either).
bool CFileSink::StartOver(DownloadRequest& request) {
    const std::uint64_t dropped = m_partial.Size;
    m_discard = dropped > 0;
    if (m_plan.BodyBytes && !HasRoomFor(request, *m_plan.BodyBytes, dropped))
        return false;
    if (dropped > 0 &&
        (!SetFilePointerEx(m_file.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file.get()))) {
        RecordDownloadError(request, GetLastError(), kStepWrite);
        return false;
    }
    m_discard = false;
    m_partial = PartialState{};
    m_progress->Resumed = 0;
    m_progress->Received = 0;
    m_recorded = false;
    SaveRecord(request, PartialState{0, m_plan.Source, m_plan.Total});
    return true;
}

// Keeps what is known of the file beside the partial one: its validator (to continue it) and its size
// (to know it whole). Without a record that vouches for it, a partial file could never be continued.
void CFileSink::SaveRecord(DownloadRequest& request, const PartialState& partial) noexcept {
    const bool worth = partial.Source.Kind != ValidatorKind::None || partial.Total;
    if (worth && SaveResumeRecord(request, partial) == ERROR_SUCCESS) {
        m_recorded = partial.Source.Kind != ValidatorKind::None || m_whole;
        return;
    }
    DeleteFileW(request.ResumePath.c_str());
    m_recorded = false;
}

// A body that ends cleanly is whole only when it brought every announced byte. A file whose end
// nothing announced may have been cut: it is kept as interrupted, and the server is asked once more
// (the rest, or word that there is none).
void CFileSink::JudgeEnd(DownloadRequest& request) noexcept {
    if (request.Cancel.load() || m_discard || m_whole || request.ErrorCode != 0 || !request.HttpStatus ||
        (m_plan.Action != ResponseAction::StartOver && m_plan.Action != ResponseAction::Continue))
        return;
    switch (JudgeBodyEnd(m_plan, m_received)) {
    case BodyEnd::Whole:
        m_whole = true;
        break;
    case BodyEnd::Short:
        RecordDownloadError(request, ERROR_INTERNET_CONNECTION_ABORTED, kStepLength);
        break;
    case BodyEnd::Unproven:
        RecordDownloadError(request, ERROR_INTERNET_CONNECTION_ABORTED, kStepEnd);
        m_askAgain = m_recorded;
        break;
    }
}

// A whole file takes its final name; a cancelled one, or one of no use, is deleted with its record;
// an interrupted one that can be continued stays (a whole one whose rename failed too: it takes its
// name next time).
void CFileSink::Close(DownloadRequest& request) noexcept {
    if (m_file && !CloseHandle(m_file.release()))
        RecordDownloadError(request, GetLastError(), kStepClose);
    const bool whole = m_whole && request.ErrorCode == 0;
    if (request.Cancel.load() || m_discard || (!whole && !m_recorded)) {
        DeleteFileW(request.LocalPath.c_str());
        DeleteFileW(request.ResumePath.c_str());
        request.LocalPath.clear();
        return;
    }
    if (!whole)
        return;
    if (const DWORD error = TakeFinalName(request)) {
        RecordDownloadError(request, error, kStepRename);
        return;
    }
    request.Flags |= kRequestComplete;
}

}  // namespace

std::unique_ptr<CBodySink> MakeFileSink(UniqueFile file, const PartialState& partial, DWORD bufferSize,
                                        std::shared_ptr<DownloadProgress> progress) {
    return std::make_unique<CFileSink>(std::move(file), partial, bufferSize, std::move(progress));
}

}  // namespace zid
