// The download engine against the local test website: memory and file mode, failures, cancel.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <memory>
#include <string>

#include "net/download_engine.h"
#include "net/download_recorder.h"
#include "net/local_file.h"
#include "support/test_util.h"
#include "support/website.h"
#include "win/errors.h"

namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(WebsiteBase(L"ok").empty()) << "the test website is not running";
        m_engine = std::make_unique<CVNInet>(m_recorder.Window());
        ASSERT_EQ(m_engine->Open(), 0u);
    }
    void TearDown() override {
        // Every transfer has let go before the next test: no busy cursor is left behind.
        EXPECT_TRUE(m_recorder.WaitForIdleCursor());
        m_engine.reset();
    }

    // Starts request, waits for its one finished message and checks where it was handled.
    void Download(DownloadRequest& request, HWND notify = nullptr) {
        const size_t before = m_recorder.Finishes().size();
        ASSERT_TRUE(m_engine->Start(request, notify)) << Narrow(request.Url) << ": " << GetLastError();
        ASSERT_TRUE(m_recorder.WaitForFinishes(before + 1)) << Narrow(request.Url);
        m_recorder.PumpFor(100);
        ASSERT_EQ(m_recorder.Finishes().size(), before + 1) << "exactly one finished message";
        EXPECT_EQ(m_recorder.Finishes().back().Request, &request);
        EXPECT_EQ(m_recorder.Finishes().back().Thread, GetCurrentThreadId());
        EXPECT_EQ(request.Finishes.load(), request.Starts.load());
        EXPECT_TRUE(IsFinished(request));
    }

    CDownloadRecorder m_recorder;
    std::unique_ptr<CVNInet> m_engine;
};

std::string Step(const DownloadRequest& request) {
    return request.ErrorStep;
}

}  // namespace

TEST_F(Engine, MemoryModeCollectsTheBodyWithAndWithoutContentLength) {
    struct Case {
        const wchar_t* Modes;
        DWORD ContentLength;
    };
    for (const Case& c : {Case{L"ok", 10000}, Case{L"noclen", 0}}) {
        DownloadRequest request(WebsiteBase(c.Modes) + L"bytes/10000", DownloadKind::CurrentRelease);
        const size_t seen = m_recorder.Progress().size();
        Download(request, m_recorder.Window());
        SCOPED_TRACE(Narrow(c.Modes));
        EXPECT_EQ(request.HttpStatus, 200u);
        EXPECT_EQ(request.ErrorCode, 0u);
        EXPECT_TRUE(request.Data == PatternBytes(10000)) << "bytes in arrival order";

        std::vector<SeenProgress> progress(m_recorder.Progress().begin() + seen, m_recorder.Progress().end());
        ASSERT_GE(progress.size(), 3u);
        EXPECT_EQ(progress.front().State, TransferState::Opened);
        EXPECT_EQ(progress.front().Received, 0u);
        EXPECT_EQ(progress.front().ContentLength, c.ContentLength);
        EXPECT_EQ(progress.front().HttpStatus, 200u);
        EXPECT_EQ(progress.back().State, TransferState::Idle);
        EXPECT_TRUE(progress.back().Finished);
        EXPECT_EQ(progress.back().Received, 10000u);
        if (c.ContentLength == 0) {
            // Without a length every read fills at most one 4096-byte piece.
            EXPECT_GE(progress.size(), 2u + 3u);
            for (size_t i = 1; i + 1 < progress.size(); ++i)
                EXPECT_LE(progress[i].Received - progress[i - 1].Received, 4096u);
        }
    }
}

TEST_F(Engine, ZeroLengthBodyReportsOnlyTheHeadersAndTheEnd) {
    DownloadRequest request(WebsiteBase(L"ok") + L"bytes/0", DownloadKind::Archive);
    Download(request, m_recorder.Window());
    EXPECT_EQ(request.ErrorCode, 0u);
    EXPECT_EQ(request.HttpStatus, 200u);
    EXPECT_TRUE(request.Data.empty());
    ASSERT_EQ(m_recorder.Progress().size(), 2u);
    EXPECT_EQ(m_recorder.Progress()[0].State, TransferState::Opened);
    EXPECT_EQ(m_recorder.Progress()[1].State, TransferState::Idle);
}

TEST_F(Engine, ReusedRequestStartsFromAClearResult) {
    DownloadRequest request(WebsiteBase(L"404-download") + L"Download.htm", DownloadKind::CurrentRelease);
    Download(request);
    EXPECT_EQ(request.HttpStatus, 404u);
    request.Url = WebsiteBase(L"reset") + L"bytes/100000";
    Download(request);
    EXPECT_NE(request.ErrorCode, 0u);
    request.Url = WebsiteBase(L"ok") + L"bytes/5000";
    Download(request);
    EXPECT_EQ(request.Starts.load(), 3);
    EXPECT_EQ(request.ErrorCode, 0u);
    EXPECT_STREQ(request.ErrorStep, "");
    EXPECT_EQ(request.HttpStatus, 200u);
    EXPECT_TRUE(request.Data == PatternBytes(5000));
}

TEST_F(Engine, UnresolvableHostEndsTheRequestEitherWay) {
    DownloadRequest request(L"http://nowhere.invalid/Download.htm", DownloadKind::CurrentRelease);
    if (m_engine->Start(request, nullptr)) {
        ASSERT_TRUE(m_recorder.WaitForFinishes(1));
        EXPECT_NE(request.ErrorCode, 0u);
        EXPECT_EQ(Step(request), "Check async result");
    } else {
        EXPECT_NE(GetLastError(), 0u);
    }
    m_recorder.PumpFor(200);
    EXPECT_EQ(request.Finishes.load(), request.Starts.load());
    EXPECT_EQ(m_recorder.Finishes().size(), request.ErrorCode != 0 ? 1u : 0u);
}

TEST_F(Engine, ConnectionResetMidBodyIsTheFirstError) {
    DownloadRequest request(WebsiteBase(L"reset") + L"bytes/100000", DownloadKind::Archive);
    Download(request);
    EXPECT_NE(request.ErrorCode, 0u);
    EXPECT_TRUE(Step(request) == "Check async result" || Step(request) == "InternetReadFileEx") << Step(request);
    EXPECT_LT(request.Data.size(), 100000u);
}

TEST_F(Engine, ExhaustedMemoryOnAWinInetThreadStillFinishesTheDownload) {
    // The page announces 4 GB: the buffer for it cannot be had, an exception on WinINet's thread. (Slow:
    // WinINet reads what is left of a body before it lets go of the handle.)
    DownloadRequest request(WebsiteBase(L"slow") + L"bytes/4294967295", DownloadKind::Archive);
    Download(request);
    EXPECT_EQ(request.ErrorCode, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(Step(request), "InternetReadFileEx");
    EXPECT_TRUE(request.Data.empty());
}

TEST_F(Engine, FileModeWritesTheBodyAndKeepsTheFile) {
    const std::wstring folder = ScratchFolder(L"engine-file");
    DownloadRequest request(WebsiteBase(L"ok") + L"bytes/300000", DownloadKind::Package);
    ASSERT_TRUE(AttachLocalFile(request, folder));
    Download(request);
    EXPECT_EQ(request.ErrorCode, 0u);
    EXPECT_FALSE(request.File);
    EXPECT_EQ(request.LocalPath, folder + L"\\300000");
    EXPECT_TRUE(request.Data.empty());
    EXPECT_TRUE(ReadFileBytes(request.LocalPath) == PatternBytes(300000));
}

TEST_F(Engine, FailedWriteKeepsTheFileAndTheFirstErrorOnly) {
    const std::wstring folder = ScratchFolder(L"engine-write");
    DownloadRequest request(WebsiteBase(L"ok") + L"bytes/20000", DownloadKind::Package);
    ASSERT_TRUE(AttachLocalFile(request, folder));
    // A handle that cannot write, and cannot be closed either: the close fails after the write did.
    request.File.reset();
    request.File.reset(CreateFileW(request.LocalPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    HANDLE readOnly = request.File.get();
    ASSERT_TRUE(SetHandleInformation(readOnly, HANDLE_FLAG_PROTECT_FROM_CLOSE, HANDLE_FLAG_PROTECT_FROM_CLOSE));
    Download(request);
    SetHandleInformation(readOnly, HANDLE_FLAG_PROTECT_FROM_CLOSE, 0);
    CloseHandle(readOnly);

    EXPECT_EQ(request.ErrorCode, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Step(request), "WriteFile");
    EXPECT_EQ(request.LocalPath, folder + L"\\20000");
    EXPECT_NE(GetFileAttributesW(request.LocalPath.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Engine, CancelWhileAReadIsPendingDeletesThePartialFile) {
    const std::wstring folder = ScratchFolder(L"engine-cancel");
    DownloadRequest request(WebsiteBase(L"slow") + L"bytes/2000000", DownloadKind::Package);
    ASSERT_TRUE(AttachLocalFile(request, folder));
    const std::wstring path = request.LocalPath;
    // Reads of 4 KiB: the website sends one every 100 ms, so a read is soon waiting for the next.
    m_engine->SetFileBufferSize(4097);
    DWORD_PTR transfer = 0;
    ASSERT_TRUE(m_engine->Start(request, m_recorder.Window(), &transfer));
    ASSERT_TRUE(m_recorder.WaitForReceived(8192));
    Sleep(30);
    m_engine->Cancel(transfer);
    ASSERT_TRUE(m_recorder.WaitForFinishes(1));
    m_recorder.PumpFor(300);
    EXPECT_EQ(m_recorder.Finishes().size(), 1u);
    EXPECT_EQ(m_recorder.Finishes()[0].Thread, GetCurrentThreadId());
    EXPECT_EQ(request.Finishes.load(), 1);
    EXPECT_TRUE(request.LocalPath.empty());
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_LT(m_recorder.Progress().back().Received, 2000000u);
    // Cancelling what has ended does nothing.
    m_engine->Cancel(transfer);
}

TEST_F(Engine, StartsThatFailAtOnceSendNothing) {
    DownloadRequest noFile(WebsiteBase(L"ok") + L"bytes/10", DownloadKind::Package);
    noFile.Flags |= kRequestToFile;
    EXPECT_FALSE(m_engine->Start(noFile, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    CVNInet closed(m_recorder.Window());  // never opened
    const std::wstring folder = ScratchFolder(L"engine-closed");
    DownloadRequest withFile(WebsiteBase(L"ok") + L"bytes/10", DownloadKind::Package);
    ASSERT_TRUE(AttachLocalFile(withFile, folder));
    EXPECT_FALSE(closed.Start(withFile, nullptr));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(GetFileAttributesW(withFile.LocalPath.c_str()), INVALID_FILE_ATTRIBUTES) << "file deleted";

    m_recorder.PumpFor(100);
    EXPECT_TRUE(m_recorder.Finishes().empty());
    for (const DownloadRequest* request : {&noFile, &withFile}) {
        EXPECT_EQ(request->Starts.load(), 1);
        EXPECT_EQ(request->Finishes.load(), 1);
    }
}

TEST_F(Engine, PackageRequestGoesWithTheDownload) {
    auto request = MakePackageRequest(WebsiteBase(L"ok") + L"bytes/1000");
    const DownloadRequest* sent = request.get();
    DWORD_PTR transfer = 0;
    ASSERT_TRUE(m_engine->StartPackage(std::move(request), nullptr, transfer));
    ASSERT_TRUE(m_recorder.WaitForFinishes(1));
    ASSERT_EQ(m_recorder.Finishes()[0].Request, sent);
    std::unique_ptr<DownloadRequest> received(const_cast<DownloadRequest*>(sent));
    EXPECT_EQ(received->Flags.load(), kRequestHeapOwned | kRequestFinished);
    EXPECT_TRUE(received->Data == PatternBytes(1000));
}

TEST(DownloadRequestRecord, OnlyTheFirstErrorIsKept) {
    DownloadRequest request(L"http://x/", DownloadKind::Archive);
    RecordDownloadError(request, ERROR_INTERNET_TIMEOUT, kStepAsyncResult);
    RecordDownloadError(request, ERROR_ACCESS_DENIED, kStepWrite);
    EXPECT_EQ(request.ErrorCode, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_STREQ(request.ErrorStep, "Check async result");
    // The server's words travel with the request and are read from it on any thread.
    DownloadRequest extended(L"http://x/", DownloadKind::Archive);
    RecordDownloadError(extended, ERROR_INTERNET_EXTENDED_ERROR, kStepRead);
    extended.ErrorText = L"550 No such file";
    EXPECT_EQ(GetErrorText(extended.ErrorCode, extended.ErrorText), L"550 No such file");
}
