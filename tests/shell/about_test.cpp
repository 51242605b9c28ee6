// The About box: caption, version line, copyright and the website link.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "resource.h"
#include "shell/about.h"
#include "support/launch_recorder.h"
#include "support/test_util.h"
#include "win/handles.h"
#include "win/platform.h"

namespace {

class AboutBox : public ProgramStateTest {
protected:
    HWND Create() {
        m_dialog.reset(CreateDialogParamW(Platform().Instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, AboutProc, 0));
        return m_dialog.get();
    }
    zid::UniqueWindow m_dialog;
};

}  // namespace

TEST_F(AboutBox, ShowsCaptionVersionLineAndCopyright) {
    HWND dialog = Create();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), L"About ZIDezureziv");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_VERSION)), L"ZIDezureziv Version 1.11");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_COPYRIGHT)), L"Copyright (C) 2026 Fennickworks");
}

TEST_F(AboutBox, LinkOpensTheWebsiteThroughTheBrowser) {
    Platform().Wine = true;
    EnvironmentOverride staging(L"ZIDEZUREZIV_WEBSITE", L"http://127.0.0.1:9/zid/");
    CLaunchRecorder recorder;
    HWND dialog = Create();
    ASSERT_NE(dialog, nullptr);
    for (UINT code : {static_cast<UINT>(NM_CLICK), static_cast<UINT>(NM_RETURN)}) {
        NMHDR header{GetDlgItem(dialog, IDC_WEBSITE_LINK), IDC_WEBSITE_LINK, code};
        SendMessageW(dialog, WM_NOTIFY, IDC_WEBSITE_LINK, reinterpret_cast<LPARAM>(&header));
    }
    // Other notifications of the link open nothing.
    NMHDR other{GetDlgItem(dialog, IDC_WEBSITE_LINK), IDC_WEBSITE_LINK, static_cast<UINT>(NM_SETFOCUS)};
    SendMessageW(dialog, WM_NOTIFY, IDC_WEBSITE_LINK, reinterpret_cast<LPARAM>(&other));
    EXPECT_EQ(recorder.WaitForLaunches(2),
              std::vector<std::wstring>(2, CLaunchRecorder::WineBrowserLaunch(L"http://127.0.0.1:9/zid/")));
}
