// Settings of the real program that outlive it.
#include <gtest/gtest.h>

#include "e2e/driver.h"
#include "resource.h"

namespace zid {

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Fennickworks\\ZIDezureziv";

// Starts the program, reads the logging check box, optionally clicks it, and closes the program.
LRESULT RunOnce(bool click) {
    CProgram program(L"");
    EXPECT_TRUE(program.Started());
    HWND main = program.WaitForDialog(L"ZIDezureziv");
    EXPECT_NE(main, nullptr);
    if (!main)
        return -1;
    HWND check = GetDlgItem(main, IDC_SHOW_LOGS);
    const LRESULT state = SendMessageW(check, BM_GETCHECK, 0, 0);
    if (click) {
        SendMessageW(check, BM_CLICK, 0, 0);
        EXPECT_NE(SendMessageW(check, BM_GETCHECK, 0, 0), state);
    }
    ClickButton(main, IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0u);
    return state;
}

}  // namespace

TEST(Settings, LoggingCheckBoxSurvivesARestart) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_EQ(RunOnce(true), BST_CHECKED);  // first run: logging on
    EXPECT_EQ(RunOnce(true), BST_UNCHECKED);
    EXPECT_EQ(RunOnce(false), BST_CHECKED);
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

}  // namespace zid
