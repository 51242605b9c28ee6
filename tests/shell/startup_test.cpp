// The whole start-up in this process, the main window's part in the pump, the last-resort text.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <stdexcept>

#include "fixtures/fixture_files.h"
#include "resource.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "support/installer_stand_ins.h"
#include "support/message_boxes.h"
#include "support/test_util.h"
#include "win/errors.h"
#include "win/message_box.h"
#include "win/message_pump.h"
#include "win/program.h"

TEST(TerminationText, DetailFollowsTheSentence) {
    EXPECT_EQ(BuildTerminationText(L"Out of memory"), L"ZIDezureziv terminated due to an exception: Out of memory");
    EXPECT_EQ(BuildTerminationText(L""), L"ZIDezureziv terminated due to an exception");
}

TEST(TerminationText, CutAt159Characters) {
    std::wstring text = BuildTerminationText(std::wstring(300, L'x'));
    EXPECT_EQ(text.size(), 159u);
    EXPECT_EQ(text.substr(0, 44), L"ZIDezureziv terminated due to an exception: ");
}

class MainWindowPump : public ProgramStateTest {
protected:
    void SetUp() override {
        ProgramStateTest::SetUp();
        ASSERT_NE(m_main.Create(GetModuleHandleW(nullptr)), nullptr);
        Pump().CtrlB = [this] { m_main.ToggleBasicUi(); };
        DrainMessages();
    }
    void TearDown() override { ResetProgramState(m_main.Window()); }
    CMainWindow m_main;
};

TEST_F(MainWindowPump, CtrlBTogglesTheBasicUiLabel) {
    PostMessageW(m_main.Window(), WM_CHAR, 2, 0);
    PumpMessages();
    EXPECT_EQ(WindowText(GetDlgItem(m_main.Window(), IDC_UI_LEVEL)), L"UI Level: Basic");
    PostMessageW(m_main.Window(), WM_CHAR, 2, 0);
    PumpMessages();
    EXPECT_EQ(WindowText(GetDlgItem(m_main.Window(), IDC_UI_LEVEL)), L"");
}

TEST_F(MainWindowPump, CloseCommandDestroysTheWindowAndPostsQuitZero) {
    HWND window = m_main.Window();
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    PumpMessages();
    EXPECT_FALSE(IsWindow(window));
    PumpMessages();
    EXPECT_TRUE(Pump().Quit);
    EXPECT_EQ(Pump().ExitCode, 0);
    // Nothing may be owned by the dead window afterwards.
    EXPECT_EQ(MainWindow(), nullptr);
    EXPECT_EQ(m_main.Window(), nullptr);
    EXPECT_EQ(m_main.Tab(), nullptr);
}

// The whole start-up in this process, with the message boxes answered by the test.
class StartupRun : public ProgramStateTest {};

TEST_F(StartupRun, TwoPartsShowTheUsageBoxWithTheErrorIconAndExitOne) {
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(RunInstallerProgram(GetModuleHandleW(nullptr), L"C:\\Velonar Packages\\a.msi"), 1);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Usage: ZIDezureziv [MSI_file]");
    EXPECT_EQ(boxes.Boxes()[0].caption, L"ZIDezureziv");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_NE(boxes.Boxes()[0].owner, nullptr);
    EXPECT_FALSE(Pump().Quit);
    // The window went with the run.
    EXPECT_EQ(MainWindow(), nullptr);
}

TEST_F(StartupRun, OnePackageEndsWithoutTheMainLoop) {
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(RunInstallerProgram(GetModuleHandleW(nullptr), L"\"C:\\Velonar Packages\\a b.msi\""), 1);
    for (const RecordedBox& box : boxes.Boxes())
        EXPECT_NE(box.text, L"Usage: ZIDezureziv [MSI_file]");
    EXPECT_TRUE(Pump().Quit);
    EXPECT_EQ(GetWaitCursorDepth(), 0);
}

// A package run whose install ran ends with the installer's result (through the scripted installer);
// one whose install never ran, because a check's question was answered Cancel, ends with 1.
TEST_F(StartupRun, PackageRunEndsWithTheInstallersResultOrOneWhenNothingWasInstalled) {
    struct Case {
        UINT result;
        bool anotherInstallation;
        int exitCode;
    };
    const Case cases[] = {{1603, false, 1603}, {0, false, 0}, {0, true, 1}};
    const std::wstring tail = L"\"" + fixtures::Path(L"velonar64-5.45.3-signed.msi") + L"\"";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exitCode);
        ResetProgramState();
        std::optional<CRunningInstallation> running;
        if (c.anotherInstallation)
            running.emplace();
        CScriptedInstaller installer({c.result});
        ScriptedMessageBoxes boxes({IDCANCEL});
        EXPECT_EQ(RunInstallerProgram(GetModuleHandleW(nullptr), tail.c_str()), c.exitCode);
        EXPECT_EQ(installer.Calls().size(), c.anotherInstallation ? 0u : 1u);
        EXPECT_EQ(boxes.Boxes().size(), c.anotherInstallation ? 1u : 0u);
    }
}

TEST_F(StartupRun, ExceptionEndsWithTheLastResortBoxWhichNoQuitMessageCloses) {
    int boxes = 0;
    bool quitPending = true;
    std::wstring lastText;
    SetMessageBoxAnswerer([&](HWND, const std::wstring& text, const std::wstring&, UINT) -> int {
        if (++boxes == 1) {
            // As a callback guard does when it stores an exception.
            PostQuitMessage(1);
            throw std::runtime_error("dialog failed");
        }
        MSG msg;
        quitPending = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
        lastText = text;
        return IDOK;
    });
    const int code = RunInstallerProgram(GetModuleHandleW(nullptr), L"one two");
    SetMessageBoxAnswerer(nullptr);
    EXPECT_EQ(code, -1);
    EXPECT_EQ(boxes, 2);
    EXPECT_FALSE(quitPending);
    EXPECT_EQ(lastText, L"ZIDezureziv terminated due to an exception: dialog failed");
}
