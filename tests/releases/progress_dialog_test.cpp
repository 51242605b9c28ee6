// The download progress dialog, fed with progress records as the engine sends them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <ctime>

#include "net/download_messages.h"
#include "net/download_request.h"
#include "releases/progress_dialog.h"
#include "resource.h"
#include "support/message_boxes.h"
#include "support/test_util.h"
#include "win/errors.h"
#include "win/handles.h"

namespace {

class ProgressDialog : public ProgramStateTest {
protected:
    void SetUp() override {
        ProgramStateTest::SetUp();
        m_window.reset(m_dialog.Create(nullptr));
        ASSERT_TRUE(m_window);
        m_request.LocalPath = L"C:\\users\\u\\Downloads\\velonar64-5.46.msi";
        m_progress.Request = &m_request;
    }
    void TearDown() override {
        // Before the reset drains the queue: a shown window keeps a paint message in it.
        m_window.reset();
        ProgramStateTest::TearDown();
    }

    // Sends one progress record for received bytes of contentLength, started elapsed ms ago.
    void Send(DWORD contentLength, DWORD received, clock_t elapsed, bool finished = false) {
        m_progress.State = finished ? TransferState::Idle : TransferState::ChunkReady;
        m_progress.ContentLength = contentLength;
        m_progress.Received = received;
        m_progress.StartTime = clock() - elapsed;
        if (finished)
            m_request.Flags |= kRequestFinished;
        SendMessageW(m_window.get(), kDownloadProgress, 0, reinterpret_cast<LPARAM>(&m_progress));
    }
    std::wstring Field(int n) const { return WindowText(GetDlgItem(m_window.get(), IDC_FIELD0 + n)); }
    LRESULT Bar(UINT message, WPARAM wParam = 0) const {
        return SendDlgItemMessageW(m_window.get(), IDC_PROGRESS, message, wParam, 0);
    }

    CProgressDialog m_dialog;
    zid::UniqueWindow m_window;
    DownloadRequest m_request;
    DownloadProgress m_progress;
};

}  // namespace

TEST(ProgressFigures, DurationsRatesAndRemainingTime) {
    for (auto [ms, text] : {std::pair{-1LL, L""},
                            {0LL, L"00:00"},
                            {59999LL, L"00:59"},
                            {65000LL, L"01:05"},
                            {3725000LL, L"1:02:05"},
                            {36000000LL, L"10:00:00"}})
        EXPECT_EQ(FormatDuration(ms), text) << ms;

    // 2 500 000 bytes in 5 s: 2500 KBytes at 500.0 a second; halfway 2.5 s are left, shown with one more.
    ProgressTexts done = MakeProgressTexts(2500000, 2500000, 5000);
    EXPECT_EQ(done.Total, L"2500");
    EXPECT_EQ(done.Received, L"2500");
    EXPECT_EQ(done.Elapsed, L"00:05");
    EXPECT_EQ(done.Rate, L"500.0");
    EXPECT_EQ(done.Remaining, L"00:00");
    ProgressTexts half = MakeProgressTexts(2500000, 1250000, 2500);
    EXPECT_EQ(half.Received, L"1250");
    EXPECT_EQ(half.Rate, L"500.0");
    EXPECT_EQ(half.Remaining, L"00:03");

    // Nothing received yet or no time passed: no rate and no estimate.
    EXPECT_EQ(MakeProgressTexts(2500000, 0, 1000).Remaining, L"");
    EXPECT_EQ(MakeProgressTexts(2500000, 0, 0).Rate, L"0.0");
    // Without a length the estimate is meaningless; beyond 2^31 ms it is not shown.
    EXPECT_EQ(MakeProgressTexts(0, 5000, 1000).Total, L"0");
    EXPECT_EQ(MakeProgressTexts(0, 1000, 1000).Remaining, L"");
}

TEST_F(ProgressDialog, FirstDisplayFillsEverythingLaterOnesAreThrottled) {
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(Field(n), L"") << n;
    Send(2500000, 0, 0);
    EXPECT_EQ(Field(0), L"Downloading velonar64-5.46.msi");
    EXPECT_EQ(Field(1), L"2500");
    EXPECT_EQ(Field(2), L"0");
    EXPECT_EQ(Bar(PBM_GETRANGE, FALSE), 2500000);

    // Within 125 ms of the last display nothing changes...
    m_request.LocalPath = L"C:\\elsewhere\\other.msi";
    Send(2500000, 1250000, 2500);
    EXPECT_EQ(Field(2), L"0");
    EXPECT_EQ(Bar(PBM_GETPOS), 0);
    // ...later it does, but the file name line stays.
    Sleep(150);
    Send(2500000, 1250000, 2500);
    EXPECT_EQ(Field(2), L"1250");
    EXPECT_EQ(Bar(PBM_GETPOS), 1250000);
    EXPECT_EQ(Field(0), L"Downloading velonar64-5.46.msi");
    EXPECT_FALSE(m_dialog.Done());

    // The last message is always shown and ends the wait as complete.
    Send(2500000, 2500000, 5000, true);
    EXPECT_EQ(Field(1), L"2500");
    EXPECT_EQ(Field(2), L"2500");
    EXPECT_EQ(Bar(PBM_GETPOS), 2500000);
    EXPECT_TRUE(m_dialog.Done());
    EXPECT_TRUE(m_dialog.Ended());
    EXPECT_EQ(m_dialog.Result(), kDownloadComplete);
}

TEST_F(ProgressDialog, WithoutContentLengthTheBarDoesNotMove) {
    Send(0, 0, 0);
    Sleep(150);
    Send(0, 300000, 1000);
    EXPECT_EQ(Field(1), L"0");
    EXPECT_EQ(Field(2), L"300");
    EXPECT_EQ(Bar(PBM_GETRANGE, FALSE), 0);
    EXPECT_EQ(Bar(PBM_GETPOS), 0);
}

TEST_F(ProgressDialog, ErrorsAndHttpStatusesAreReported) {
    ScriptedMessageBoxes boxes;
    m_request.HttpStatus = 404;
    Send(100, 0, 0);
    Send(100, 100, 10);
    m_request.ErrorCode = ERROR_INTERNET_TIMEOUT;
    m_request.ErrorStep = kStepRead;
    Send(100, 100, 20, true);
    ASSERT_EQ(boxes.Boxes().size(), 4u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"HTTP Status = 404");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(boxes.Boxes()[2].text, L"InternetReadFileEx: " + GetErrorText(ERROR_INTERNET_TIMEOUT));
    EXPECT_EQ(boxes.Boxes()[2].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(boxes.Boxes()[3].text, L"HTTP Status = 404");
    // The download ended all the same.
    EXPECT_EQ(m_dialog.Result(), kDownloadComplete);
}

TEST_F(ProgressDialog, CancelEndsTheWaitEnterDoesNot) {
    SendMessageW(m_window.get(), WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(m_dialog.Done());
    SendMessageW(m_window.get(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(m_dialog.Done());
    EXPECT_EQ(m_dialog.Result(), kDownloadCancelled);
    // The download's end after the click does not turn it into a completed one.
    Send(100, 100, 10, true);
    EXPECT_EQ(m_dialog.Result(), kDownloadCancelled);
    EXPECT_TRUE(m_dialog.Ended());
}
