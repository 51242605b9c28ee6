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
        m_engine = std::make_unique<CVNInet>(m_window);
        ASSERT_EQ(m_engine->Open(), 0u);
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
            return GetWaitCursorDepth() == 0;
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

// Whatever the server does, the final name holds either the whole file or what it held before.
TEST_F(Engine, FileModeNamesOnlyAWholeFileAndKeepsWhatCanBeContinued) {
    struct Case {
        const wchar_t* Modes;
        const wchar_t* File;
        DWORD Status;
        bool Whole;    // the final name now holds the download
        bool Partial;  // a partial file and its resume record were kept
    };
    const Case cases[] = {
        {L"ok", L"bytes/300000.msi", 200, true, false},  {L"noclen", L"bytes/300000.msi", 200, true, false},
        {L"ok", L"bytes/0.msi", 200, true, false},       {L"ok", L"absent.msi", 404, false, false},
        {L"cut", L"bytes/300000.msi", 200, false, true}, {L"reset", L"bytes/300000.msi", 200, false, true},
    };
    const std::wstring folder = ScratchFolder(L"engine-file");
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes) + " " + Narrow(c.File));
        const std::wstring final = folder + L"\\" + (wcsrchr(c.File, L'/') ? wcsrchr(c.File, L'/') + 1 : c.File);
        ASSERT_TRUE(WriteFileBytes(final, "an earlier download"));
        DownloadRequest& request = NewRequest(WebsiteBase(c.Modes) + c.File, folder);
        Download(request);
        EXPECT_EQ(request.HttpStatus, c.Status);
        EXPECT_EQ((request.Flags.load() & kRequestComplete) != 0, c.Whole);
        EXPECT_EQ(request.Progress->Result.Complete, c.Whole);
        EXPECT_EQ(request.Progress->Result.Resumable, c.Partial);
        const std::string saved = ReadFileBytes(final);
        EXPECT_TRUE(c.Whole ? saved == PatternBytes(saved.size()) && request.LocalPath == final
                            : saved == "an earlier download");
        EXPECT_EQ(Exists(final + L".partial"), c.Partial);
        EXPECT_EQ(Exists(final + L".resume"), c.Partial);
        // What was kept is the beginning of the file, to be continued.
        const std::string kept = ReadFileBytes(final + L".partial");
        EXPECT_TRUE(kept == PatternBytes(kept.size()));
        DeleteFileW((final + L".partial").c_str());
        DeleteFileW((final + L".resume").c_str());
        DeleteFileW(final.c_str());
    }
}

TEST_F(Engine, AnInterruptedDownloadContinuesOnlyWhereTheServerVouchesForTheSameFile) {
    struct Case {
        const wchar_t* SecondModes;  // after a first answer cut at half
        DWORD Status;                // of the second answer
    };
    const Case cases[] = {
        {L"", 206},          // the rest, appended
        {L",renew", 200},    // the file changed: the whole new one
        {L",norange", 200},  // ranges ignored: the whole one
    };
    const std::wstring folder = ScratchFolder(L"engine-resume");
    constexpr size_t kSize = 400000;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.SecondModes));
        const std::wstring token = NewToken();
        const std::wstring url = WebsiteBase(L"cutonce=" + token + c.SecondModes) + L"bytes/400000.msi";
        DownloadRequest& first = NewRequest(url, folder);
        Download(first);
        ASSERT_TRUE(first.Progress->Result.Resumable);
        DownloadRequest& second = NewRequest(url, folder);
        EXPECT_EQ(second.ResumeFrom, kSize / 2);
        Download(second);
        EXPECT_EQ(second.HttpStatus, c.Status);
        EXPECT_EQ(second.Progress->Resumed.load(), c.Status == 206 ? kSize / 2 : 0u);
        EXPECT_EQ(second.Progress->ContentLength.load(), kSize);
        EXPECT_TRUE(second.Progress->Result.Complete);
        EXPECT_TRUE(ReadFileBytes(folder + L"\\400000.msi") == PatternBytes(kSize));
        EXPECT_FALSE(Exists(folder + L"\\400000.msi.partial") || Exists(folder + L"\\400000.msi.resume"));
        DeleteFileW((folder + L"\\400000.msi").c_str());
    }
    // A partial file as long as the whole: nothing left to ask for (416), so nothing of it is kept.
    const std::wstring url = WebsiteBase(L"ok") + L"bytes/1000.msi";
    ASSERT_TRUE(WriteFileBytes(folder + L"\\1000.msi.partial", PatternBytes(1000)));
    DownloadRequest record(url, DownloadKind::Package);
    record.ResumePath = folder + L"\\1000.msi.resume";
    ASSERT_EQ(SaveResumeRecord(record, "\"bytes-1000\""), 0u);
    DownloadRequest& full = NewRequest(url, folder);
    ASSERT_EQ(full.ResumeFrom, 1000u);
    Download(full);
    EXPECT_EQ(full.HttpStatus, 416u);
    EXPECT_FALSE(full.Progress->Result.Complete || full.Progress->Result.Resumable);
    EXPECT_FALSE(Exists(folder + L"\\1000.msi.partial") || Exists(folder + L"\\1000.msi") ||
                 Exists(folder + L"\\1000.msi.resume"));
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
    CVNInet closed(m_window);  // never opened
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
    EXPECT_TRUE(PumpUntil([] { return GetWaitCursorDepth() == 0; }));
    EXPECT_EQ(g_finished + g_notified, seen);
    m_engine = std::make_unique<CVNInet>(m_window);  // for the teardown
}
