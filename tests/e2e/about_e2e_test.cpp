// The About box of the real program.
#include <gtest/gtest.h>

#include "e2e/driver.h"
#include "resource.h"

namespace zid {

TEST(About, ButtonOpensTheAboutBoxWithTheVersionLine) {
    CProgram program(L"");
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForDialog(L"ZIDezureziv");
    ASSERT_NE(main, nullptr);

    ClickButton(main, IDM_ABOUT);
    HWND about = program.WaitForDialog(L"About ZIDezureziv");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(GetWindow(about, GW_OWNER), main);
    EXPECT_EQ(ControlText(about, IDC_VERSION), L"ZIDezureziv Version 1.11");
    EXPECT_EQ(ControlText(about, IDC_COPYRIGHT), L"Copyright (C) 2026 Fennickworks");

    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_EQ(program.WaitForExit(100), static_cast<DWORD>(STILL_ACTIVE));
    ClickButton(main, IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace zid
