// The download progress dialog, fed with progress records as the engine sends them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "net/download_messages.h"
#include "net/download_request.h"
#include "releases/progress_dialog.h"
#include "resource.h"
#include "support/message_boxes.h"
#include "support/test_util.h"
#include "win/errors.h"
#include "win/handles.h"

namespace {

// One dialog and the request and progress record the engine would hand it.
struct Shown {
    Shown() : Window(Dialog.Create(nullptr)) {
        Request.LocalPath = L"C:\\users\\u\\Downloads\\velonar64-5.46.msi";
        Progress.Request = &Request;
    }
    // A progress message: received of contentLength bytes, started elapsed ms ago.
    void Send(DWORD contentLength, DWORD received, clock_t elapsed, bool finished = false) {
        Progress = {finished ? TransferState::Idle : TransferState::ChunkReady, contentLength, received,
                    clock() - elapsed, &Request};
        if (finished)
            Request.Flags |= kRequestFinished;
        SendMessageW(Window.get(), kDownloadProgress, 0, reinterpret_cast<LPARAM>(&Progress));
    }
    std::wstring Field(int n) const { return WindowText(GetDlgItem(Window.get(), IDC_FIELD0 + n)); }
    LRESULT Bar(UINT message, WPARAM wParam = 0) const {
        return SendDlgItemMessageW(Window.get(), IDC_PROGRESS, message, wParam, 0);
    }

    CProgressDialog Dialog;
    zid::UniqueWindow Window;  // destroyed before the test's reset drains the queue
    DownloadRequest Request;
    DownloadProgress Progress;
};

class ProgressDialog : public ProgramStateTest {};

}  // namespace

TEST(ProgressFigures, DurationsRatesAndRemainingTime) {
    for (auto [ms, text] : {std::pair{-1LL, L""},
                            {0LL, L"00:00"},
                            {59999LL, L"00:59"},
                            {65000LL, L"01:05"},
                            {3725000LL, L"1:02:05"},
                            {36000000LL, L"10:00:00"}})
        EXPECT_EQ(FormatDuration(ms), text) << ms;
    // 2 500 000 bytes in 5 s: 2500 KBytes at 500.0; halfway 2.5 s are left, shown one second more.
    const ProgressTexts done = MakeProgressTexts(2500000, 2500000, 5000);
    EXPECT_EQ(done.Total + L" " + done.Received + L" " + done.Elapsed + L" " + done.Rate + L" " + done.Remaining,
              L"2500 2500 00:05 500.0 00:00");
    const ProgressTexts half = MakeProgressTexts(2500000, 1250000, 2500);
    EXPECT_EQ(half.Rate + L" " + half.Remaining, L"500.0 00:03");
    // Nothing yet, no time, no length: no estimate (beyond 2^31 ms none is shown).
    EXPECT_EQ(MakeProgressTexts(2500000, 0, 1000).Remaining, L"");
    EXPECT_EQ(MakeProgressTexts(2500000, 0, 0).Rate, L"0.0");
    EXPECT_EQ(MakeProgressTexts(0, 1000, 1000).Remaining, L"");
}

TEST_F(ProgressDialog, FirstDisplayFillsEverythingLaterOnesAreThrottled) {
    Shown shown;
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(shown.Field(n), L"") << n;
    shown.Send(2500000, 0, 0);
    EXPECT_EQ(shown.Field(0), L"Downloading velonar64-5.46.msi");
    EXPECT_EQ(shown.Field(1), L"2500");
    EXPECT_EQ(shown.Bar(PBM_GETRANGE, FALSE), 2500000);
    // Within 125 ms of the last display nothing changes; later the figures do, the file name not.
    shown.Request.LocalPath = L"C:\\elsewhere\\other.msi";
    shown.Send(2500000, 1250000, 2500);
    EXPECT_EQ(shown.Field(2), L"0");
    Sleep(150);
    shown.Send(2500000, 1250000, 2500);
    EXPECT_EQ(shown.Field(2), L"1250");
    EXPECT_EQ(shown.Bar(PBM_GETPOS), 1250000);
    EXPECT_EQ(shown.Field(0), L"Downloading velonar64-5.46.msi");
    EXPECT_FALSE(shown.Dialog.Done());
    // The last message always shows, and ends the wait as complete.
    shown.Send(2500000, 2500000, 5000, true);
    EXPECT_EQ(shown.Field(2), L"2500");
    EXPECT_TRUE(shown.Dialog.Done() && shown.Dialog.Ended());
    EXPECT_EQ(shown.Dialog.Result(), kDownloadComplete);

    // Without a length the total is 0 and the bar cannot move.
    Shown unknown;
    unknown.Send(0, 300000, 1000);
    EXPECT_EQ(unknown.Field(1) + L" " + unknown.Field(2), L"0 300");
    EXPECT_EQ(unknown.Bar(PBM_GETPOS), 0);
}

TEST_F(ProgressDialog, ReportsProblemsAndEndsOnTheFirstOfEndAndCancel) {
    ScriptedMessageBoxes boxes;
    Shown failing;
    failing.Request.HttpStatus = 404;
    failing.Send(100, 0, 0);
    failing.Request.ErrorCode = ERROR_INTERNET_TIMEOUT;
    failing.Request.ErrorStep = kStepRead;
    failing.Send(100, 100, 20, true);
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"HTTP Status = 404");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(boxes.Boxes()[1].text, L"InternetReadFileEx: " + GetErrorText(ERROR_INTERNET_TIMEOUT));
    EXPECT_EQ(boxes.Boxes()[1].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(failing.Dialog.Result(), kDownloadComplete);  // ended all the same

    // Enter does not end the wait (the download may still run); Cancel does, and stays the answer.
    Shown cancelled;
    SendMessageW(cancelled.Window.get(), WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(cancelled.Dialog.Done());
    SendMessageW(cancelled.Window.get(), WM_COMMAND, IDCANCEL, 0);
    cancelled.Send(100, 100, 10, true);
    EXPECT_EQ(cancelled.Dialog.Result(), kDownloadCancelled);
    EXPECT_TRUE(cancelled.Dialog.Ended());
}
