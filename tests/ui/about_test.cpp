// The About box: its caption and the website link, in the box's own modal loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "resource.h"
#include "support/dialog_watcher.h"
#include "support/launch_recorder.h"
#include "support/scripted_prompt.h"
#include "support/test_util.h"
#include "ui/about.h"
#include "win/platform.h"

namespace zid {

// Clicking or pressing Enter on the link opens the website in the browser; other notices of the link
// open nothing, and OK ends the box.
TEST(AboutBox, LinkOpensTheWebsiteThroughTheBrowser) {
    EnvironmentOverride staging(L"ZIDEZUREZIV_WEBSITE", L"http://127.0.0.1:9/zid/");
    CLaunchRecorder recorder;
    CScriptedPrompt prompt;
    PlatformFacts platform;
    platform.Instance = GetModuleHandleW(nullptr);
    platform.Wine = true;
    std::wstring copyright;
    CDialogWatcher watcher(L"About ZIDezureziv", [&](HWND box) {
        copyright = WindowText(GetDlgItem(box, IDC_COPYRIGHT));
        HWND link = GetDlgItem(box, IDC_WEBSITE_LINK);
        for (UINT code : {static_cast<UINT>(NM_CLICK), static_cast<UINT>(NM_RETURN), static_cast<UINT>(NM_SETFOCUS)}) {
            NMHDR header{link, IDC_WEBSITE_LINK, code};
            SendMessageW(box, WM_NOTIFY, IDC_WEBSITE_LINK, reinterpret_cast<LPARAM>(&header));
        }
        PressButton(box, IDOK);
    });
    CAboutBox(prompt).Show(platform, nullptr);
    EXPECT_TRUE(watcher.Seen());
    EXPECT_EQ(copyright, L"Copyright (C) 2026 Fennickworks");
    EXPECT_EQ(recorder.WaitForLaunches(2),
              std::vector<std::wstring>(2, CLaunchRecorder::WineBrowserLaunch(L"http://127.0.0.1:9/zid/")));
    EXPECT_TRUE(prompt.Boxes().empty());
}

}  // namespace zid
