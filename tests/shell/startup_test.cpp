// Start-up facts, the message pump and the last-resort exception text.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "resource.h"
#include "shell/app.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "shell/errors.h"
#include "support/message_boxes.h"
#include "support/test_util.h"

TEST(Platform, WineIsDetectedUnderWine) {
    EXPECT_TRUE(DetectWine());
}

TEST(Platform, SixtyFourBitFlagFollowsTheSystemsOwnAnswer) {
    SYSTEM_INFO native{};
    GetNativeSystemInfo(&native);
    const bool nativeIs64 = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    EXPECT_EQ(DetectWow64(), nativeIs64);
}

TEST(Platform, VistaOrLater) {
    EXPECT_TRUE(IsVistaOrLater());
}

TEST(TerminationText, DetailFollowsTheSentence) {
    EXPECT_EQ(BuildTerminationText(L"Out of memory"), L"ZIDezureziv terminated due to an exception: Out of memory");
    EXPECT_EQ(BuildTerminationText(L""), L"ZIDezureziv terminated due to an exception");
}

TEST(TerminationText, CutAt159Characters) {
    std::wstring text = BuildTerminationText(std::wstring(300, L'x'));
    EXPECT_EQ(text.size(), 159u);
    EXPECT_EQ(text.substr(0, 44), L"ZIDezureziv terminated due to an exception: ");
}

class Pump : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_instance = GetModuleHandleW(nullptr);
        theApp.m_quit = false;
        theApp.m_exitCode = 1;
        m_window = CreateDialogParamW(theApp.m_instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainWindowProc, 0);
        ASSERT_NE(m_window, nullptr);
        ASSERT_EQ(theApp.m_mainWindow, m_window);
        DrainMessages();
    }
    void TearDown() override {
        CloseTestMainWindow(m_window);
    }
    HWND m_window = nullptr;
};

TEST_F(Pump, CtrlBTogglesTheBasicUiLabel) {
    PostMessageW(m_window, WM_CHAR, 2, 0);
    PumpMessages();
    EXPECT_TRUE(theApp.m_basicUi);
    EXPECT_EQ(WindowText(GetDlgItem(m_window, IDC_UI_LEVEL)), L"UI Level: Basic");

    PostMessageW(m_window, WM_CHAR, 2, 0);
    PumpMessages();
    EXPECT_FALSE(theApp.m_basicUi);
    EXPECT_EQ(WindowText(GetDlgItem(m_window, IDC_UI_LEVEL)), L"");
}

TEST_F(Pump, QuitMessageSetsTheFlagAndTheExitCode) {
    PostQuitMessage(7);
    PumpMessages();
    EXPECT_TRUE(theApp.m_quit);
    EXPECT_EQ(theApp.m_exitCode, 7);
}

TEST_F(Pump, CloseCommandDestroysTheWindowAndPostsQuitZero) {
    PostMessageW(m_window, WM_COMMAND, IDCANCEL, 0);
    PumpMessages();
    EXPECT_FALSE(IsWindow(m_window));
    PumpMessages();
    EXPECT_TRUE(theApp.m_quit);
    EXPECT_EQ(theApp.m_exitCode, 0);
}

// The whole start-up in this process, with the message boxes answered by the test.
class StartupRun : public ::testing::Test {
protected:
    void TearDown() override {
        CloseTestMainWindow(theApp.m_mainWindow);
        theApp.m_exitCode = 1;
    }
};

TEST_F(StartupRun, TwoPartsShowTheUsageBoxWithTheErrorIconAndExitOne) {
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(RunInstallerProgram(GetModuleHandleW(nullptr), L"C:\\Velonar Packages\\a.msi"), 1);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Usage: ZIDezureziv [MSI_file]");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"ZIDezureziv");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(boxes.Boxes()[0].owner, theApp.m_mainWindow);
    EXPECT_FALSE(theApp.m_quit);
}

TEST_F(StartupRun, OnePackageEndsWithoutTheMainLoop) {
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(RunInstallerProgram(GetModuleHandleW(nullptr), L"\"C:\\Velonar Packages\\a b.msi\""), 1);
    for (const RecordedBox& box : boxes.Boxes())
        EXPECT_NE(box.text, L"Usage: ZIDezureziv [MSI_file]");
    EXPECT_TRUE(theApp.m_quit);
    EXPECT_EQ(GetWaitCursorDepth(), 0);
}
