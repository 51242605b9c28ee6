// The download engine against the local test website: memory and file mode, failures, resume, cancel.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <vector>

#include "net/download_engine.h"
#include "net/download_messages.h"
#include "net/local_file.h"
#include "support/test_util.h"
#include "support/website.h"
#include "win/errors.h"

namespace zid {

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A token the website has not seen in this run: "cutonce" cuts its first answer only.
std::wstring NewToken() {
    static int counter = 0;
    return L"e" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
}

// A hidden window that owns every download and is told about its progress; it counts what it gets.
// The fixture owns the requests, and its teardown stops whatever a test left running, however the
// test ended.
class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(WebsiteBase(L"ok").empty()) << "the test website is not running";
        m_window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record));
        m_engine = std::make_unique<CVNInet>();
        ASSERT_EQ(m_engine->Open(m_window), 0u);
        g_finished = 0;
        g_notified = 0;
    }
    void TearDown() override {
        for (DWORD_PTR transfer : m_transfers)
            m_engine->Cancel(transfer);
        EXPECT_TRUE(PumpUntil([this] {
            for (const auto& request : m_requests) {
                if (IsInProgress(*request))
                    return false;
            }
            return CVNInet::RunningTransfers() == 0;
        }));
        m_engine.reset();
        DestroyWindow(m_window);
    }
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        g_finished += message == kDownloadFinished;
        g_notified += message == kDownloadProgress;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    template <typename Predicate>
    static bool PumpUntil(Predicate done, DWORD timeout = 30000) {
        for (const ULONGLONG end = GetTickCount64() + timeout; !done(); DrainMessages()) {
            if (GetTickCount64() > end)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return true;
    }
    // A request of the fixture (memory mode, or a file in folder when one is given).
    DownloadRequest& NewRequest(const std::wstring& url, const std::wstring& folder = L"") {
        m_requests.push_back(std::make_unique<DownloadRequest>(
            url, folder.empty() ? DownloadKind::CurrentRelease : DownloadKind::Package));
        DownloadRequest& request = *m_requests.back();
        request.Flags &= ~kRequestHeapOwned;  // the fixture frees it
        request.Progress = std::make_shared<DownloadProgress>();
        if (!folder.empty()) {
            EXPECT_TRUE(AttachLocalFile(request, folder)) << GetLastError();
        }
        return request;
    }
    bool Begin(DownloadRequest& request) {
        DWORD_PTR transfer = 0;
        if (!m_engine->Start(request, m_window, &transfer))
            return false;
        m_transfers.push_back(transfer);
        return true;
    }
    // Starts request and waits for its one finished message.
    void Download(DownloadRequest& request) {
        const int before = g_finished;
        ASSERT_TRUE(Begin(request)) << Narrow(request.Url) << ": " << GetLastError();
        ASSERT_TRUE(PumpUntil([&] { return g_finished > before; })) << Narrow(request.Url);
        PumpUntil([] { return false; }, 100);
        EXPECT_EQ(g_finished, before + 1);
        EXPECT_EQ(request.Finishes.load(), request.Starts.load());
        EXPECT_TRUE(IsFinished(request));
        EXPECT_TRUE(request.Progress->Ended.load());
    }

    static inline int g_finished = 0;
    static inline int g_notified = 0;
    HWND m_window = nullptr;
    std::unique_ptr<CVNInet> m_engine;
    std::vector<std::unique_ptr<DownloadRequest>> m_requests;
    std::vector<DWORD_PTR> m_transfers;
};

}  // namespace

TEST_F(Engine, MemoryModeCollectsWholePagesAndRefusesLongOrCutOnes) {
    struct Case {
        const wchar_t* Modes;
        std::wstring File;
        DWORD Status;
        DWORD Error;  // 0: the whole body is the data
        const char* Step;
    };
    const std::wstring tooLong = L"bytes/" + std::to_wstring(kMaxPageBytes + 1);
    const Case cases[] = {
        {L"404-download", L"Download.htm", 404, 0, ""},
        {L"ok", L"bytes/10000", 200, 0, ""},
        {L"noclen", L"bytes/10000", 200, 0, ""},
        {L"ok", L"bytes/0", 200, 0, ""},
        {L"ok", L"bytes/" + std::to_wstring(kMaxPageBytes), 200, 0, ""},
        // A page past the ceiling is refused whether it says so at once or not.
        {L"ok", tooLong, 200, ERROR_FILE_TOO_LARGE, kStepRead},
        {L"noclen", tooLong, 200, ERROR_FILE_TOO_LARGE, kStepRead},
        // A clean end before the announced length is no end of the page.
        {L"cut", L"bytes/10000", 200, ERROR_INTERNET_CONNECTION_ABORTED, kStepLength},
    };
    // One request, reused as the catalogue's are: each start begins from a clear result.
    DownloadRequest& request = NewRequest(L"");
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes) + " " + Narrow(c.File));
        request.Url = WebsiteBase(c.Modes) + c.File;
        request.Progress = std::make_shared<DownloadProgress>();
        g_notified = 0;
        Download(request);
        EXPECT_EQ(request.HttpStatus, c.Status);
        EXPECT_EQ(request.ErrorCode, c.Error);
        EXPECT_STREQ(request.ErrorStep, c.Step);
        EXPECT_EQ(IsFinished(request) && (request.Flags.load() & kRequestComplete) != 0, c.Error == 0);
        // Headers and end: two notifications at most, never one per chunk.
        EXPECT_GE(g_notified, 1);
        EXPECT_LE(g_notified, 2);
        if (c.Status != 200 || c.Error != 0)
            continue;
        const size_t size = std::stoul(Narrow(c.File.substr(6)));
        EXPECT_TRUE(request.Data == PatternBytes(size));
        EXPECT_EQ(request.Progress->Received.load(), size);
        EXPECT_EQ(request.Progress->ContentLength.load(), c.Modes[0] == L'n' ? 0u : size);
    }
    EXPECT_EQ(request.Starts.load(), static_cast<int>(std::size(cases)));
}

TEST_F(Engine, AHostThatDoesNotResolveEndsTheDownloadAtOnceOrWithItsStep) {
    DownloadRequest& unresolvable = NewRequest(L"http://nowhere.invalid/Download.htm");
    if (Begin(unresolvable)) {
        ASSERT_TRUE(PumpUntil([] { return g_finished == 1; }));
        EXPECT_STREQ(unresolvable.ErrorStep, "Check async result");
    }
    EXPECT_EQ(unresolvable.Finishes.load(), unresolvable.Starts.load());
}

// Whatever the server does, the final name holds either the whole file or what it held before; only an
// announced length proves the end; nothing goes into WinINet's cache.
TEST_F(Engine, FileModeNamesOnlyAProvablyWholeFileAndKeepsWhatCanBeContinued) {
    struct Case {
        const wchar_t* Modes;
        const wchar_t* File;
        DWORD Status;
        bool Whole;    // the final name now holds the download
        bool Partial;  // a partial file and its resume record were kept
        const char* Step;
    };
    const Case cases[] = {
        {L"ok", L"bytes/300000.msi", 200, true, false, ""},
        {L"ok", L"bytes/0.msi", 200, true, false, ""},  // a length of 0 is a length
        {L"ok", L"absent.msi", 404, false, false, ""},
        // Nothing announced an end: kept, the server is to be asked whether there is more.
        {L"noclen", L"bytes/300000.msi", 200, false, true, kStepEnd},
        {L"chunked", L"bytes/300000.msi", 200, false, true, kStepEnd},
        {L"cut", L"bytes/300000.msi", 200, false, true, kStepLength},
        {L"reset", L"bytes/300000.msi", 200, false, true, kStepAsyncResult},
        // A weak ETag vouches for nothing, and no date may stand in for it; a date with no ETag may.
        {L"cut,weaketag", L"bytes/300000.msi", 200, false, false, kStepLength},
        {L"cut,noetag", L"bytes/300000.msi", 200, false, true, kStepLength},
    };
    const std::wstring folder = ScratchFolder(L"engine-file");
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes) + " " + Narrow(c.File));
        const std::wstring final = folder + L"\\" + (wcsrchr(c.File, L'/') ? wcsrchr(c.File, L'/') + 1 : c.File);
        ASSERT_TRUE(WriteFileBytes(final, "an earlier download"));
        const std::wstring url = WebsiteBase(c.Modes) + c.File;
        DownloadRequest& request = NewRequest(url, folder);
        Download(request);
        EXPECT_EQ(request.HttpStatus, c.Status);
        EXPECT_STREQ(request.ErrorStep, c.Step);
        EXPECT_EQ((request.Flags.load() & kRequestComplete) != 0, c.Whole);
        EXPECT_EQ(request.Progress->Result.Complete, c.Whole);
        EXPECT_EQ(request.Progress->Result.Resumable, c.Partial);
        EXPECT_EQ(request.Progress->Result.AskAgain, c.Step == kStepEnd);
        const std::string saved = ReadFileBytes(final);
        EXPECT_TRUE(c.Whole ? saved == PatternBytes(saved.size()) && request.LocalPath == final
                            : saved == "an earlier download");
        EXPECT_EQ(Exists(final + L".partial"), c.Partial);
        EXPECT_EQ(Exists(final + L".resume"), c.Partial);
        // What was kept is the beginning of the file, to be continued.
        const std::string kept = ReadFileBytes(final + L".partial");
        EXPECT_TRUE(kept == PatternBytes(kept.size()));
        DWORD size = 0;
        EXPECT_FALSE(GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "a copy in WinINet's cache";
        DeleteFileW((final + L".partial").c_str());
        DeleteFileW((final + L".resume").c_str());
        DeleteFileW(final.c_str());
    }
}

// After a first answer cut at half, the rest is appended only where the answer proves it continues the
// same file; any other answer gives the whole file (at once, or in the request asked again).
TEST_F(Engine, AnInterruptedDownloadContinuesOnlyWhereTheServerVouchesForTheSameFile) {
    struct Case {
        const wchar_t* Modes;  // beside cutonce
        bool Resumed;          // the second request asks for the rest
        DWORD Status;          // of the second answer
        bool Discarded;        // the second answer showed the partial file of no use: a third asks anew
        int Renewal;           // the file's bytes are those of its renewal-th replacement
    };
    const Case cases[] = {
        {L"", true, 206, false, 0},
        {L",noetag", true, 206, false, 0},   // by the date
        {L",chunked", true, 206, false, 0},  // the first end proved nothing; the 206 does
        {L",noclen", true, 206, false, 0},
        {L",renew", true, 200, false, 1},            // the file changed: the whole new one
        {L",norange", true, 200, false, 0},          // ranges ignored: the whole one
        {L",renew,blindrange", true, 206, true, 2},  // If-Range ignored: the new file's tail is not appended
        {L",overlap", true, 206, true, 0},           // the part begins before the partial file's end
        {L",weaketag", false, 200, false, 0},        // nothing to continue it by
    };
    const std::wstring folder = ScratchFolder(L"engine-resume");
    constexpr size_t kSize = 400000;
    const std::wstring final = folder + L"\\400000.msi";
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes));
        const std::wstring url = WebsiteBase(L"cutonce=" + NewToken() + c.Modes) + L"bytes/400000.msi";
        DownloadRequest& first = NewRequest(url, folder);
        Download(first);
        ASSERT_FALSE(first.Progress->Result.Complete);
        DownloadRequest& second = NewRequest(url, folder);
        EXPECT_EQ(second.Partial.Size, c.Resumed ? kSize / 2 : 0u);
        Download(second);
        EXPECT_EQ(second.HttpStatus, c.Status);
        EXPECT_EQ(second.Progress->Result.Complete, !c.Discarded);
        EXPECT_EQ(second.Progress->Result.AskAgain, c.Discarded);
        EXPECT_EQ(second.Progress->Resumed.load(), c.Status == 206 ? kSize / 2 : 0u);
        if (c.Discarded) {
            EXPECT_STREQ(second.ErrorStep, kStepRange);
            EXPECT_FALSE(Exists(final + L".partial") || Exists(final + L".resume") || Exists(final));
            DownloadRequest& third = NewRequest(url, folder);
            EXPECT_EQ(third.Partial.Size, 0u);
            Download(third);
            EXPECT_TRUE(third.Progress->Result.Complete);
        } else {
            EXPECT_EQ(second.Progress->ContentLength.load(), kSize);
        }
        EXPECT_TRUE(ReadFileBytes(final) == PatternBytes(kSize, c.Renewal));
        EXPECT_FALSE(Exists(final + L".partial") || Exists(final + L".resume"));
        DeleteFileW(final.c_str());
    }
    // Nothing after the partial file (416): whole when the server's total is its size, else of no use.
    for (const size_t partialSize : {1000u, 1500u}) {
        SCOPED_TRACE(partialSize);
        const std::wstring url = WebsiteBase(L"ok") + L"bytes/1000.msi";
        ASSERT_TRUE(WriteFileBytes(folder + L"\\1000.msi.partial", PatternBytes(partialSize)));
        DownloadRequest record(url, DownloadKind::Package);
        record.ResumePath = folder + L"\\1000.msi.resume";
        ASSERT_EQ(SaveResumeRecord(record, {0, {zid::ValidatorKind::EntityTag, "\"bytes-1000\""}, std::nullopt}), 0u);
        DownloadRequest& full = NewRequest(url, folder);
        ASSERT_EQ(full.Partial.Size, partialSize);
        Download(full);
        EXPECT_EQ(full.HttpStatus, 416u);
        EXPECT_EQ(full.Progress->Result.Complete, partialSize == 1000);
        EXPECT_EQ(full.Progress->Result.AskAgain, partialSize != 1000);
        EXPECT_EQ(Exists(folder + L"\\1000.msi"), partialSize == 1000);
        EXPECT_FALSE(Exists(folder + L"\\1000.msi.partial") || Exists(folder + L"\\1000.msi.resume"));
        DeleteFileW((folder + L"\\1000.msi").c_str());
    }
}

// A server that says nothing more (WinINet's own time-out does not end a read under Wine) ends the
// download as interrupted, not cancelled: what came is kept.
TEST_F(Engine, AServerThatSaysNothingMoreEndsTheDownloadAsInterrupted) {
    m_engine = std::make_unique<CVNInet>(1000);
    ASSERT_EQ(m_engine->Open(m_window), 0u);
    DownloadRequest& stalled = NewRequest(WebsiteBase(L"stall") + L"bytes/2000000.msi", ScratchFolder(L"engine-stall"));
    const ULONGLONG start = GetTickCount64();
    Download(stalled);
    EXPECT_LT(GetTickCount64() - start, 4000u) << "ended by the server, not by the program";
    EXPECT_EQ(stalled.ErrorCode, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_TRUE(stalled.Progress->Result.Resumable && !stalled.Progress->Result.Cancelled);
    DeleteFileW(stalled.LocalPath.c_str());
    DeleteFileW(stalled.ResumePath.c_str());
}

// Connecting, waiting for headers that came with no body after them, reading: Cancel ends the
// download itself (the server would hold the connection 5 s more), deletes the partial file and
// leaves the earlier file as it was.
TEST_F(Engine, CancelEndsTheDownloadInEveryState) {
    struct Case {
        const wchar_t* Modes;
        unsigned long long CancelAfter;  // bytes received; ~0: as soon as the headers are in; 0: at once
    };
    const Case cases[] = {{L"stall", ~0ull}, {L"slow", 8192}, {L"stall", 0}};
    const std::wstring folder = ScratchFolder(L"engine-cancel");
    const std::wstring final = folder + L"\\2000000.msi";
    ASSERT_TRUE(WriteFileBytes(final, "an earlier download"));
    m_engine->SetFileBufferSize(4097);  // the slow website sends 4096 bytes every 100 ms
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes) + " " + std::to_string(c.CancelAfter));
        DownloadRequest& request = NewRequest(WebsiteBase(c.Modes) + L"bytes/2000000.msi", folder);
        const int before = g_finished;
        ASSERT_TRUE(Begin(request));
        const DownloadProgress& progress = *request.Progress;
        const bool reached = PumpUntil([&] {
            return c.CancelAfter == 0 ||
                   (c.CancelAfter == ~0ull ? progress.HeadersIn.load() : progress.Received.load() >= c.CancelAfter);
        });
        ASSERT_TRUE(reached);
        m_engine->Cancel(m_transfers.back());
        EXPECT_TRUE(PumpUntil([&] { return g_finished == before + 1; }, 3000));
        EXPECT_TRUE(progress.Result.Cancelled);
        EXPECT_FALSE(progress.Result.Complete);
        EXPECT_TRUE(request.LocalPath.empty());
        EXPECT_FALSE(Exists(final + L".partial") || Exists(final + L".resume"));
        EXPECT_EQ(ReadFileBytes(final), "an earlier download");
        m_engine->Cancel(m_transfers.back());  // ended: nothing happens
    }
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(g_finished, static_cast<int>(std::size(cases)));
}

TEST_F(Engine, StartsThatFailAtOnceSendNothing) {
    DownloadRequest& noFile = NewRequest(WebsiteBase(L"ok") + L"bytes/10");
    noFile.Flags |= kRequestToFile;
    EXPECT_FALSE(m_engine->Start(noFile, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CVNInet closed;  // never opened
    auto withFile = MakePackageRequest(WebsiteBase(L"ok") + L"bytes/10.msi");
    ASSERT_TRUE(AttachLocalFile(*withFile, ScratchFolder(L"engine-closed")));
    const std::wstring path = withFile->LocalPath;
    DWORD_PTR transfer = 0;
    EXPECT_FALSE(closed.StartPackage(std::move(withFile), nullptr, transfer));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_FALSE(Exists(path));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(g_finished + g_notified, 0);
    EXPECT_EQ(noFile.Finishes.load(), 1);
}

TEST_F(Engine, EngineGoneBeforeItsDownloadEndsSendsNothingMore) {
    DWORD_PTR transfer = 0;
    auto request = MakePackageRequest(WebsiteBase(L"slow") + L"bytes/20000");
    request->Progress = std::make_shared<DownloadProgress>();
    const std::shared_ptr<DownloadProgress> progress = request->Progress;
    ASSERT_TRUE(m_engine->StartPackage(std::move(request), m_window, transfer));
    ASSERT_TRUE(PumpUntil([&] { return progress->HeadersIn.load(); }));
    PumpUntil([] { return false; }, 50);
    const int seen = g_finished + g_notified;
    m_engine.reset();  // as at exit: callback uninstalled, session closed, windows forgotten
    // The transfer still ends (and lets go of its request) when WinINet is done with it.
    EXPECT_TRUE(PumpUntil([] { return CVNInet::RunningTransfers() == 0; }));
    EXPECT_EQ(g_finished + g_notified, seen);
    m_engine = std::make_unique<CVNInet>();  // for the teardown
}

}  // namespace zid
