#include <new>
#include <string>
#include <vector>

#include "net/body_sink.h"

namespace zid {

namespace {

constexpr size_t kChunkBufferSize = 4097;  // 4096 bytes per read and the terminator

class CMemorySink final : public CBodySink {
public:
    // A page is taken as it comes, whatever its status; only its length is checked.
    bool Accept(DownloadRequest& request, const ResponseFields& fields) override {
        m_plan.BodyBytes = AnnouncedLength(fields);
        m_plan.Total = m_plan.BodyBytes;
        if (m_plan.BodyBytes.value_or(0) > kMaxPageBytes) {
            RecordDownloadError(request, ERROR_FILE_TOO_LARGE, kStepRead);
            return false;
        }
        m_firstSize = m_plan.BodyBytes.value_or(0) != 0 ? static_cast<size_t>(*m_plan.BodyBytes) + 1 : kChunkBufferSize;
        return true;
    }

    // A read fills the room left in the last buffer first, so a body that arrives in small pieces takes
    // no more memory than its size. Only the first buffer has the announced length; the read that finds
    // the end needs just a small one.
    ReadRoom NextRoom() override {
        if (m_buffers.empty() || m_buffers.back().Used + 1 >= m_buffers.back().Size) {
            Buffer buffer;
            buffer.Size = m_buffers.empty() ? m_firstSize : kChunkBufferSize;
            buffer.Bytes.reset(new char[buffer.Size]);
            m_buffers.push_back(std::move(buffer));
        }
        Buffer& last = m_buffers.back();
        return {last.Bytes.get() + last.Used, static_cast<DWORD>(last.Size - 1 - last.Used)};
    }

    bool Take(DownloadRequest& request, DWORD count) override {
        Buffer& last = m_buffers.back();
        last.Bytes[last.Used + count] = '\0';
        last.Used += count;
        m_received += count;
        if (m_received <= kMaxPageBytes)
            return true;
        RecordDownloadError(request, ERROR_FILE_TOO_LARGE, kStepRead);
        return false;
    }

    // A page without an announced length is whole when it ends cleanly: nothing else could tell.
    void End(DownloadRequest& request) noexcept override {
        if (!request.Cancel.load() && request.ErrorCode == 0 && request.HttpStatus != 0) {
            if (JudgeBodyEnd(m_plan, m_received) == BodyEnd::Short)
                RecordDownloadError(request, ERROR_INTERNET_CONNECTION_ABORTED, kStepLength);
            else
                request.Flags |= kRequestComplete;
        }
        Collect(request);
    }

    void Abandon(DownloadRequest&) noexcept override {}
    void Describe(const DownloadRequest&, DownloadResult&) const noexcept override {}
    std::uint64_t BytesSoFar() const override { return m_received; }

private:
    struct Buffer {
        std::unique_ptr<char[]> Bytes;
        size_t Size = 0;  // capacity, one byte of it kept for a terminator
        size_t Used = 0;  // bytes held
    };

    // The buffers stay: a read under way when the download was cancelled may still fill one.
    void Collect(DownloadRequest& request) noexcept {
        size_t total = 0;
        for (const Buffer& buffer : m_buffers)
            total += buffer.Used;
        try {
            std::string data;
            data.reserve(total);
            for (const Buffer& buffer : m_buffers)
                data.append(buffer.Bytes.get(), buffer.Used);
            request.Data = std::move(data);
        } catch (const std::bad_alloc&) {
            RecordDownloadError(request, ERROR_NOT_ENOUGH_MEMORY, kStepRead);
            request.Flags &= ~kRequestComplete;
            request.Data.clear();
        }
    }

    size_t m_firstSize = kChunkBufferSize;
    std::vector<Buffer> m_buffers;  // in arrival order
};

}  // namespace

std::unique_ptr<CBodySink> MakeMemorySink() {
    return std::make_unique<CMemorySink>();
}

}  // namespace zid
