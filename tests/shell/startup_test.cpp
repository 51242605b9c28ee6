// The whole start-up in this process with a scripted prompt and installer, and the last-resort text.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <stdexcept>

#include "fixtures/fixture_files.h"
#include "shell/startup.h"
#include "support/dialog_watcher.h"
#include "support/installer_stand_ins.h"
#include "support/test_util.h"
#include "win/errors.h"

namespace zid {

TEST(TerminationText, DetailFollowsTheSentence) {
    EXPECT_EQ(BuildTerminationText(L"Out of memory"), L"ZIDezureziv terminated due to an exception: Out of memory");
    EXPECT_EQ(BuildTerminationText(L""), L"ZIDezureziv terminated due to an exception");
}

TEST(TerminationText, CutAt159Characters) {
    std::wstring text = BuildTerminationText(std::wstring(300, L'x'));
    EXPECT_EQ(text.size(), 159u);
    EXPECT_EQ(text.substr(0, 44), L"ZIDezureziv terminated due to an exception: ");
}

int RunProgram(const std::wstring& tail, CScriptedPrompt& prompt, CScriptedInstaller& installer) {
    return RunInstallerProgram(GetModuleHandleW(nullptr), tail.c_str(), {&prompt, &installer});
}

// Two plain arguments show the usage box and end with 1; a malformed line tells what is wrong with the
// syntax after it and ends with 1639; /? shows the syntax. Nothing is installed.
TEST(StartupRun, UsageMalformedLineAndHelpAreToldInTheWindow) {
    struct Case {
        std::wstring tail;
        int exitCode;
        std::wstring text;  // how the one box starts
        UINT style;
    };
    const Case cases[] = {{L"C:\\Velonar Packages\\a.msi", 1, L"Usage: ZIDezureziv [MSI_file]", MB_ICONERROR},
                          {L"/frobnicate", 1639, L"Unknown switch /frobnicate.\r\n\r\nZIDezureziv.exe [", MB_ICONERROR},
                          {L"/repair /uninstall", 1639, L"/uninstall: only one operation", MB_ICONERROR},
                          {L"/?", 0, L"ZIDezureziv.exe [/quiet | /passive]", MB_ICONINFORMATION}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.tail));
        CScriptedPrompt prompt;
        CScriptedInstaller installer;
        EXPECT_EQ(RunProgram(c.tail, prompt, installer), c.exitCode);
        ASSERT_EQ(prompt.Boxes().size(), 1u);
        EXPECT_EQ(prompt.Boxes()[0].text.rfind(c.text, 0), 0u) << Narrow(prompt.Boxes()[0].text);
        EXPECT_EQ(prompt.Boxes()[0].style, c.style);
        EXPECT_TRUE(installer.Calls().empty());
        DrainMessages();
    }
}

// A package run whose install ran ends with the installer's result; one whose install never ran,
// because the package is missing or a check's question was answered Cancel, ends with 1. Either
// way the run ends without the main loop.
TEST(StartupRun, PackageRunEndsWithTheInstallersResultOrOneWhenNothingWasInstalled) {
    struct Case {
        std::wstring package;
        UINT result;
        bool anotherInstallation;
        int exitCode;
        size_t boxes;
    };
    const std::wstring signed64 = fixtures::Path(L"velonar64-5.45.3-signed.msi");
    const Case cases[] = {{signed64, 1603, false, 1603, 0},
                          {signed64, 0, false, 0, 0},
                          {signed64, 0, true, 1, 1},
                          {L"C:\\Velonar Packages\\a b.msi", 0, false, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exitCode);
        std::optional<CRunningInstallation> running;
        if (c.anotherInstallation)
            running.emplace();
        CScriptedInstaller installer({c.result});
        CScriptedPrompt prompt({IDCANCEL});
        EXPECT_EQ(RunProgram(L"\"" + c.package + L"\"", prompt, installer), c.exitCode);
        EXPECT_EQ(installer.Calls().size(), c.exitCode == 1 ? 0u : 1u);
        ASSERT_EQ(prompt.Boxes().size(), c.boxes);
        for (const RecordedBox& box : prompt.Boxes())
            EXPECT_NE(box.text, L"Usage: ZIDezureziv [MSI_file]");
        DrainMessages();
    }
}

// The last resort's box is shown with the quit message that the failing callback posted taken out of
// the queue: else it would close by itself before anyone read it.
TEST(StartupRun, ExceptionEndsWithTheLastResortBoxWhichNoQuitMessageCloses) {
    CScriptedPrompt prompt;
    CScriptedInstaller installer;
    prompt.WhileShown = [] {
        // As a callback guard does when it stores an exception.
        PostQuitMessage(1);
        throw std::runtime_error("dialog failed");
    };
    std::wstring seen;
    CDialogWatcher watcher(L"ZIDezureziv", [&](HWND box) {
        seen = WindowText(GetDlgItem(box, 0xFFFF));
        PressButton(box, IDOK);
    });
    EXPECT_EQ(RunProgram(L"one two", prompt, installer), -1);
    EXPECT_TRUE(watcher.Seen());
    EXPECT_EQ(seen, L"ZIDezureziv terminated due to an exception: dialog failed");
}

}  // namespace zid
