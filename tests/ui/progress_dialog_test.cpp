// The download progress dialog, reading progress records as a download publishes them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "net/download_messages.h"
#include "ui/progress_dialog.h"
#include "resource.h"
#include "support/test_util.h"
#include "win/handles.h"
#include "win/message_pump.h"

namespace zid {

namespace {

// One dialog and the progress record a download would publish for it.
struct Shown {
    Shown()
        : Progress(std::make_shared<DownloadProgress>()),
          Window(Dialog.Create(GetModuleHandleW(nullptr), nullptr, Progress, L"velonar64-5.46.msi")) {}
    // The record as a download shows it: received of contentLength bytes, started elapsed ms ago;
    // then the notification of the headers or the end.
    void Send(unsigned long long contentLength, unsigned long long received, clock_t elapsed, bool finished = false) {
        Progress->ContentLength = contentLength;
        Progress->Received = received;
        Progress->StartTime = clock() - elapsed;
        Progress->HeadersIn = true;
        Progress->Ended = finished;
        Progress->Notified = true;
        SendMessageW(Window.get(), kDownloadProgress, 0, 0);
    }
    std::wstring Field(int n) const { return WindowText(GetDlgItem(Window.get(), IDC_FIELD0 + n)); }
    LRESULT Bar(UINT message, WPARAM wParam = 0) const {
        return SendDlgItemMessageW(Window.get(), IDC_PROGRESS, message, wParam, 0);
    }

    std::shared_ptr<DownloadProgress> Progress;
    CProgressDialog Dialog;
    zid::UniqueWindow Window;  // destroyed before the test's reset drains the queue
};

class ProgressDialog : public ::testing::Test {};

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
    // Past 4 GiB: 4.5 of 5 GiB, the last 512 MiB of them in one second.
    const ProgressTexts large = MakeProgressTexts(5ull << 30, 4608ull << 20, 1000, 4ull << 30);
    EXPECT_EQ(large.Total + L" " + large.Received + L" " + large.Rate + L" " + large.Remaining,
              L"5368709 4831838 536870.9 00:02");
}

TEST_F(ProgressDialog, FirstDisplayFillsEverythingLaterOnesAreThrottled) {
    Shown shown;
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(shown.Field(n), L"") << n;
    shown.Send(2500000, 0, 0);
    EXPECT_EQ(shown.Field(0), L"Downloading velonar64-5.46.msi");
    EXPECT_EQ(shown.Field(1), L"2500");
    EXPECT_EQ(shown.Bar(PBM_GETRANGE, FALSE), 2500000);
    EXPECT_FALSE(shown.Progress->Notified.load());  // the next notification may be posted
    // Within 125 ms of the last display nothing changes; later the figures do.
    shown.Send(2500000, 1250000, 2500);
    EXPECT_EQ(shown.Field(2), L"0");
    Sleep(150);
    shown.Send(2500000, 1250000, 2500);
    EXPECT_EQ(shown.Field(2), L"1250");
    EXPECT_EQ(shown.Bar(PBM_GETPOS), 1250000);
    EXPECT_FALSE(shown.Dialog.Done());
    // Without any message the dialog reads the record on its own rhythm.
    shown.Progress->Received = 2000000;
    ULONGLONG until = GetTickCount64() + 1000;
    while (shown.Field(2) != L"2000" && GetTickCount64() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        DrainMessages();
    }
    EXPECT_EQ(shown.Field(2), L"2000");
    // The end always shows, and ends the wait.
    shown.Send(2500000, 2500000, 5000, true);
    EXPECT_EQ(shown.Field(2), L"2500");
    EXPECT_TRUE(shown.Dialog.Done());
    EXPECT_EQ(shown.Dialog.Result(), kDownloadEnded);

    // Without a length the total is 0 and the bar cannot move.
    Shown unknown;
    unknown.Send(0, 300000, 1000);
    EXPECT_EQ(unknown.Field(1) + L" " + unknown.Field(2), L"0 300");
    EXPECT_EQ(unknown.Bar(PBM_GETPOS), 0);

    // A resumed download counts the whole file; its rate only what came since it started.
    Shown resumed;
    resumed.Progress->Resumed = 1000000;
    resumed.Send(2500000, 1500000, 1000);
    EXPECT_EQ(resumed.Field(1) + L" " + resumed.Field(2) + L" " + resumed.Field(5), L"2500 1500 00:03");
    // 500 KB in the second before the display; a clock tick or two more on a busy machine is allowed.
    const double rate = std::stod(resumed.Field(4));
    EXPECT_TRUE(rate > 490.0 && rate <= 500.0) << rate;
}

TEST_F(ProgressDialog, NothingBeforeTheHeadersAndTheFirstOfEndAndCancelDecides) {
    Shown waiting;
    SendMessageW(waiting.Window.get(), kDownloadProgress, 0, 0);
    EXPECT_EQ(waiting.Field(0), L"");
    // Enter does not end the wait (the download may still run); Cancel does, and stays the answer.
    Shown cancelled;
    SendMessageW(cancelled.Window.get(), WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(cancelled.Dialog.Done());
    // Esc, as the main window's filter hands it to the dialog manager, is Cancel.
    MSG escape{GetDlgItem(cancelled.Window.get(), IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(cancelled.Window.get(), &escape));
    EXPECT_TRUE(cancelled.Dialog.Done());
    cancelled.Send(100, 100, 10, true);
    EXPECT_EQ(cancelled.Dialog.Result(), kDownloadCancelled);
}

}  // namespace zid
