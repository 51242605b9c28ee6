// The download engine against the local test website: memory and file mode, failures, cancel.
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

struct Seen {
    UINT Message;
    TransferState State;
    DWORD ContentLength;
    DWORD Received;
    DWORD Thread;  // that handled the message
};

// A hidden window that is owner and progress window of every download, and remembers what it got.
class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(WebsiteBase(L"ok").empty()) << "the test website is not running";
        m_window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record));
        m_engine = std::make_unique<CVNInet>(m_window);
        ASSERT_EQ(m_engine->Open(), 0u);
        g_seen.clear();
    }
    void TearDown() override {
        // Every transfer has let go (the handle's closing came) before the next test.
        EXPECT_TRUE(PumpUntil([] { return GetWaitCursorDepth() == 0; }));
        m_engine.reset();
        DestroyWindow(m_window);
    }
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kDownloadProgress) {
            const auto& p = *reinterpret_cast<const DownloadProgress*>(lParam);
            g_seen.push_back({message, p.State, p.ContentLength, p.Received, GetCurrentThreadId()});
        } else if (message == kDownloadFinished) {
            g_seen.push_back({message, TransferState::Idle, 0, 0, GetCurrentThreadId()});
        }
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
    static size_t Finished() {
        size_t count = 0;
        for (const Seen& seen : g_seen)
            count += seen.Message == kDownloadFinished;
        return count;
    }
    // Ends the transfer of a request that the test owns before the request goes, on every path: an
    // assertion that ends a test early must not leave WinINet writing into a freed request.
    struct EndTransfer {
        Engine& Test;
        DownloadRequest& Request;
        DWORD_PTR Transfer = 0;
        ~EndTransfer() {
            if (!IsInProgress(Request))
                return;
            if (Test.m_engine)
                Test.m_engine->Cancel(Transfer);
            EXPECT_TRUE(PumpUntil([this] { return !IsInProgress(Request); })) << "a transfer outlived its test";
        }
    };

    // Starts request and checks that exactly one finished message came, on this thread.
    void Download(DownloadRequest& request) {
        const size_t before = Finished();
        EndTransfer end{*this, request};
        ASSERT_TRUE(m_engine->Start(request, m_window, &end.Transfer)) << Narrow(request.Url) << ": " << GetLastError();
        ASSERT_TRUE(PumpUntil([&] { return Finished() > before; })) << Narrow(request.Url);
        PumpUntil([] { return false; }, 100);
        EXPECT_EQ(Finished(), before + 1);
        for (const Seen& seen : g_seen)
            EXPECT_EQ(seen.Thread, GetCurrentThreadId());
        EXPECT_EQ(request.Finishes.load(), request.Starts.load());
        EXPECT_TRUE(IsFinished(request));
    }
    std::vector<Seen> Progress() const {
        std::vector<Seen> progress;
        for (const Seen& seen : g_seen) {
            if (seen.Message == kDownloadProgress)
                progress.push_back(seen);
        }
        return progress;
    }

    static inline std::vector<Seen> g_seen;
    HWND m_window = nullptr;
    std::unique_ptr<CVNInet> m_engine;
};

}  // namespace

TEST_F(Engine, MemoryModeCollectsTheBodyInOrder) {
    struct Case {
        const wchar_t* Modes;
        size_t Size;
        DWORD ContentLength;
    };
    // One request, reused as the catalogue's are: each start begins from a clear result.
    DownloadRequest request(L"", DownloadKind::CurrentRelease);
    for (const Case& c :
         {Case{L"404-download", 0, 0}, Case{L"ok", 10000, 10000}, Case{L"noclen", 10000, 0}, Case{L"ok", 0, 0}}) {
        SCOPED_TRACE(Narrow(c.Modes) + " " + std::to_string(c.Size));
        request.Url =
            WebsiteBase(c.Modes) + (c.Modes[0] == L'4' ? L"Download.htm" : L"bytes/" + std::to_wstring(c.Size));
        g_seen.clear();
        Download(request);
        EXPECT_EQ(request.HttpStatus, c.Modes[0] == L'4' ? 404u : 200u);
        EXPECT_EQ(request.ErrorCode, 0u);
        if (c.Modes[0] == L'4')
            continue;
        EXPECT_TRUE(request.Data == PatternBytes(c.Size));
        // After the headers, after each chunk (without a length, 4096 bytes at most), at the end.
        const std::vector<Seen> progress = Progress();
        ASSERT_GE(progress.size(), c.Size == 0 ? 2u : 3u);
        EXPECT_EQ(progress.front().State, TransferState::Opened);
        EXPECT_EQ(progress.front().ContentLength, c.ContentLength);
        EXPECT_EQ(progress.back().State, TransferState::Idle);
        EXPECT_EQ(progress.back().Received, c.Size);
        EXPECT_TRUE(c.Size != 0 || progress.size() == 2u) << "a body of none: headers and end only";
        for (size_t i = 1; c.ContentLength == 0 && i < progress.size(); ++i)
            EXPECT_LE(progress[i].Received - progress[i - 1].Received, 4096u);
    }
    EXPECT_EQ(request.Starts.load(), 4);
}

TEST_F(Engine, FailuresEndTheDownloadWithTheFirstErrorAndItsStep) {
    DownloadRequest unresolvable(L"http://nowhere.invalid/Download.htm", DownloadKind::CurrentRelease);
    EndTransfer end{*this, unresolvable};
    if (m_engine->Start(unresolvable, nullptr, &end.Transfer)) {
        ASSERT_TRUE(PumpUntil([] { return Finished() == 1; }));
        EXPECT_STREQ(unresolvable.ErrorStep, "Check async result");
    }
    EXPECT_EQ(unresolvable.Finishes.load(), unresolvable.Starts.load());

    DownloadRequest reset(WebsiteBase(L"reset") + L"bytes/100000", DownloadKind::Archive);
    Download(reset);
    EXPECT_NE(reset.ErrorCode, 0u);
    EXPECT_TRUE(reset.ErrorStep == std::string("Check async result") ||
                reset.ErrorStep == std::string("InternetReadFileEx"));
    EXPECT_LT(reset.Data.size(), 100000u);

    // A page that announces 4 GB: its buffer cannot be had, an exception on WinINet's thread. (Slow:
    // WinINet reads what is left of a body before it lets go of the handle.)
    DownloadRequest huge(WebsiteBase(L"slow") + L"bytes/4294967295", DownloadKind::Archive);
    Download(huge);
    EXPECT_EQ(huge.ErrorCode, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_STREQ(huge.ErrorStep, "InternetReadFileEx");

    // The server's words for 12003 travel with the request, to be shown on another thread.
    huge.ErrorCode = ERROR_INTERNET_EXTENDED_ERROR;
    huge.ErrorText = L"550 No such file";
    EXPECT_EQ(GetErrorText(huge.ErrorCode, huge.ErrorText), L"550 No such file");
}

TEST_F(Engine, FileModeWritesTheBodyAndKeepsItsFileAfterAFailedWrite) {
    const std::wstring folder = ScratchFolder(L"engine-file");
    DownloadRequest good(WebsiteBase(L"ok") + L"bytes/300000", DownloadKind::Package);
    ASSERT_TRUE(AttachLocalFile(good, folder));
    Download(good);
    EXPECT_EQ(good.ErrorCode, 0u);
    EXPECT_TRUE(ReadFileBytes(folder + L"\\300000") == PatternBytes(300000));

    DownloadRequest bad(WebsiteBase(L"ok") + L"bytes/20000", DownloadKind::Package);
    ASSERT_TRUE(AttachLocalFile(bad, folder));
    // A handle that can neither write nor be closed: the close fails after the write did.
    bad.File.reset();
    bad.File.reset(CreateFileW(bad.LocalPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    HANDLE readOnly = bad.File.get();
    ASSERT_TRUE(SetHandleInformation(readOnly, HANDLE_FLAG_PROTECT_FROM_CLOSE, HANDLE_FLAG_PROTECT_FROM_CLOSE));
    Download(bad);
    SetHandleInformation(readOnly, HANDLE_FLAG_PROTECT_FROM_CLOSE, 0);
    CloseHandle(readOnly);
    EXPECT_EQ(bad.ErrorCode, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_STREQ(bad.ErrorStep, "WriteFile");
    EXPECT_NE(GetFileAttributesW((folder + L"\\20000").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Engine, CancelWhileAReadIsPendingDeletesThePartialFile) {
    DownloadRequest request(WebsiteBase(L"slow") + L"bytes/2000000", DownloadKind::Package);
    ASSERT_TRUE(AttachLocalFile(request, ScratchFolder(L"engine-cancel")));
    const std::wstring path = request.LocalPath;
    m_engine->SetFileBufferSize(4097);  // the website sends 4096 bytes every 100 ms
    EndTransfer end{*this, request};
    ASSERT_TRUE(m_engine->Start(request, m_window, &end.Transfer));
    ASSERT_TRUE(PumpUntil([this] { return !Progress().empty() && Progress().back().Received >= 8192; }));
    Sleep(30);  // the next read now waits for the website
    const DWORD_PTR transfer = end.Transfer;
    m_engine->Cancel(transfer);
    ASSERT_TRUE(PumpUntil([] { return Finished() == 1; }));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(Finished(), 1u);
    EXPECT_TRUE(request.LocalPath.empty());
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    m_engine->Cancel(transfer);  // ended: nothing happens
}

TEST_F(Engine, StartsThatFailAtOnceSendNothing) {
    DownloadRequest noFile(WebsiteBase(L"ok") + L"bytes/10", DownloadKind::Package);
    noFile.Flags |= kRequestToFile;
    EXPECT_FALSE(m_engine->Start(noFile, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CVNInet closed(m_window);  // never opened
    auto withFile = MakePackageRequest(WebsiteBase(L"ok") + L"bytes/10");
    ASSERT_TRUE(AttachLocalFile(*withFile, ScratchFolder(L"engine-closed")));
    const std::wstring path = withFile->LocalPath;
    DWORD_PTR transfer = 0;
    EXPECT_FALSE(closed.StartPackage(std::move(withFile), nullptr, transfer));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(g_seen.empty());
    EXPECT_EQ(noFile.Finishes.load(), 1);
}

TEST_F(Engine, EngineGoneBeforeItsDownloadEndsSendsNothingMore) {
    DWORD_PTR transfer = 0;
    ASSERT_TRUE(m_engine->StartPackage(MakePackageRequest(WebsiteBase(L"slow") + L"bytes/20000"), m_window, transfer));
    ASSERT_TRUE(PumpUntil([this] { return !Progress().empty(); }));
    const size_t seen = g_seen.size();
    m_engine.reset();  // as at exit: callback uninstalled, session closed, windows forgotten
    // The transfer still ends (and lets go of its request) when WinINet is done with it.
    EXPECT_TRUE(PumpUntil([] { return GetWaitCursorDepth() == 0; }));
    EXPECT_EQ(g_seen.size(), seen);
}
