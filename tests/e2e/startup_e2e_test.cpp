// The real program, started the ways a user or a support person starts it.
#include <gtest/gtest.h>

#include "e2e/driver.h"
#include "resource.h"

namespace zid {

namespace {

constexpr wchar_t kUsage[] = L"Usage: ZIDezureziv [MSI_file]";

// Answers every message box the program shows until it exits; returns the texts seen.
std::vector<std::wstring> DismissBoxesUntilExit(const CProgram& program, DWORD& exitCode) {
    std::vector<std::wstring> seen;
    WaitUntil([&] {
        if (HWND box = program.FindMessageBox()) {
            seen.push_back(MessageBoxText(box));
            PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
            Sleep(200);
        }
        exitCode = program.WaitForExit(0);
        return exitCode != STILL_ACTIVE;
    });
    return seen;
}

// Two or more parts: the usage box with the error icon, then exit code 1.
void ExpectUsageError(const std::wstring& tail) {
    CProgram program(tail);
    ASSERT_TRUE(program.Started());
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = program.FindMessageBox()) != nullptr; }))
        << "no usage box for tail " << tail.size() << " chars";
    wchar_t caption[64] = L"";
    GetWindowTextW(box, caption, 64);
    EXPECT_STREQ(caption, L"ZIDezureziv");
    EXPECT_EQ(MessageBoxText(box), kUsage);
    // Nothing else happens until the user has read the box.
    EXPECT_EQ(program.WaitForExit(300), static_cast<DWORD>(STILL_ACTIVE));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(program.WaitForExit(), 1u);
}

}  // namespace

TEST(Startup, WithoutArgumentsShowsTheMainWindowUntilClosed) {
    CProgram program(L"");
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForDialog(L"ZIDezureziv");
    ASSERT_NE(main, nullptr);
    HWND tab = GetDlgItem(main, IDC_TAB);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(TabTexts(program.Process(), tab), (std::vector<std::wstring>{L"This PC", L"VN Website"}));
    EXPECT_EQ(program.WaitForExit(200), static_cast<DWORD>(STILL_ACTIVE));

    ClickButton(main, IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(Startup, TwoArgumentsShowTheUsageBox) {
    ExpectUsageError(L"first.msi second.msi");
}

TEST(Startup, UnquotedPathWithASpaceIsTwoArguments) {
    ExpectUsageError(L"C:\\Velonar Packages\\Velonar.msi");
}

TEST(Startup, QuotedPathWithSpacesIsOnePackage) {
    CProgram program(L"\"C:\\Velonar Packages\\Velonar 5.45.msi\"");
    ASSERT_TRUE(program.Started());
    DWORD exitCode = STILL_ACTIVE;
    std::vector<std::wstring> boxes = DismissBoxesUntilExit(program, exitCode);
    for (const std::wstring& text : boxes)
        EXPECT_NE(text, kUsage);
    // A package run ends by itself with exit code 1, without waiting for the main window to close.
    EXPECT_EQ(exitCode, 1u);
}

}  // namespace zid
