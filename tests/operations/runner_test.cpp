// The operation runner: the worker's installer calls, the result line, the log it leaves, the wait,
// and a worker that cannot start.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

#include "fixtures/fixture_files.h"
#include "operations/runner.h"
#include "support/installer_stand_ins.h"
#include "win/errors.h"

namespace zid {

namespace {

constexpr wchar_t kProduct[] = L"{11111111-2222-3333-4444-555555555555}";

OperationRequest Request(OperationCommand command, std::optional<InstalledPackage> package = std::nullopt) {
    OperationRequest request;
    request.Command = command;
    request.Package = std::move(package);
    return request;
}

class Runner : public OperationsTest {
protected:
    std::optional<DWORD> Run(OperationRequest& request, CScriptedInstaller& installer) {
        return RunOperation(request, Context(m_prompt, installer));
    }
    CScriptedPrompt m_prompt;
};

}  // namespace

// A product code from the registry goes to Windows Installer only when it is exactly one GUID.
TEST_F(Runner, ProductCodeThatIsNotAGuidIsRefused) {
    for (OperationCommand command : {OperationCommand::Repair, OperationCommand::Uninstall}) {
        CScriptedInstaller installer;
        CScriptedPrompt boxes;
        OperationRequest request =
            Request(command, Record(std::wstring(kProduct) + L" REBOOT=Force", 0x052E0000, true));
        EXPECT_EQ(RunOperation(request, Context(boxes, installer)), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_TRUE(installer.Calls().empty());
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_NE(boxes.Boxes()[0].text.find(L": The product code of this installation is not a product code: \"" +
                                             std::wstring(kProduct) + L" REBOOT=Force\"."),
                  std::wstring::npos)
            << Narrow(boxes.Boxes()[0].text);
        EXPECT_TRUE(boxes.LogText().ends_with(L" (64 bit): Refused\r\n")) << Narrow(boxes.LogText());
    }
}

// Each command's calls at both basic UI modes: level, call, arguments; repair and removal from a
// package file in place of the installed product's missing one.
TEST(Worker, CallsPerCommandAndMode) {
    struct Case {
        OperationCommand command;
        bool basicUi;
        const wchar_t* commandLine;
        INSTALLUILEVEL level;
        const wchar_t* call;
        const wchar_t* fileCommandLine;  // non-null: run from a package file with this command line
        INSTALLUILEVEL unattended = INSTALLUILEVEL_NOCHANGE;  // a run without a person: its level wins
    };
    const Case cases[] = {
        {OperationCommand::Uninstall, false, L"", INSTALLUILEVEL_DEFAULT, L"Configure", nullptr},
        {OperationCommand::Uninstall, true, L"UPGRADINGPRODUCTCODE={X}", INSTALLUILEVEL_BASIC, L"Configure", nullptr},
        {OperationCommand::Uninstall, false, L"UPGRADINGPRODUCTCODE={X}", INSTALLUILEVEL_DEFAULT, L"Install",
         L"REMOVE=ALL UPGRADINGPRODUCTCODE={X}"},
        {OperationCommand::Repair, false, L"", INSTALLUILEVEL_DEFAULT, L"Reinstall", nullptr},
        {OperationCommand::Repair, true, L"", INSTALLUILEVEL_BASIC, L"Reinstall", nullptr},
        {OperationCommand::Repair, true, L"", INSTALLUILEVEL_BASIC, L"Install", L"REINSTALL=ALL REINSTALLMODE=vamus"},
        {OperationCommand::Install, false, L"", INSTALLUILEVEL_FULL, L"Install", L"ACTION=INSTALL ALLUSERS=1"},
        {OperationCommand::Install, true, L"", INSTALLUILEVEL_BASIC, L"Install", L"ACTION=INSTALL ALLUSERS=1"},
        {OperationCommand::Repair, true, L"", INSTALLUILEVEL_NONE, L"Reinstall", nullptr, INSTALLUILEVEL_NONE},
    };
    for (const Case& c : cases) {
        CScriptedInstaller installer({1618});
        OperationRequest request = Request(c.command, Record(kProduct, 0x052E0000, true));
        request.CommandLine = c.commandLine;
        request.LogPath = L"C:\\temp\\VNI-1.txt";
        if (c.fileCommandLine)
            request.PackagePath = L"C:\\packages\\velonar.msi";
        EXPECT_EQ(OperationWorker(request, c.basicUi, installer, c.unattended), 1618u);
        ASSERT_EQ(installer.Calls().size(), 1u);
        const InstallerCall& call = installer.Calls()[0];
        SCOPED_TRACE(Narrow(c.call) + (c.basicUi ? " basic" : ""));
        EXPECT_EQ(call.LogMode, 0x3400u);
        EXPECT_EQ(call.LogPath, L"C:\\temp\\VNI-1.txt");
        EXPECT_EQ(call.LogAttributes, 1u);
        EXPECT_EQ(call.UiLevel, c.level);
        EXPECT_EQ(call.Call, c.call);
        if (c.fileCommandLine) {
            EXPECT_EQ(call.Target, L"C:\\packages\\velonar.msi");
            EXPECT_EQ(call.CommandLine, c.fileCommandLine);
            continue;
        }
        EXPECT_EQ(call.Target, kProduct);
        if (c.command == OperationCommand::Uninstall) {
            EXPECT_EQ(call.Level, 0);
            EXPECT_EQ(call.State, INSTALLSTATE_ABSENT);
            // Without extra properties the removal is made without a command line at all.
            EXPECT_EQ(call.CommandLine, *c.commandLine ? std::optional<std::wstring>(c.commandLine) : std::nullopt);
        }
        if (c.command == OperationCommand::Repair) {
            EXPECT_EQ(call.ReinstallMode, 0x3C0u);
        }
    }
}

TEST(Worker, UnknownCommandCallsNothingAndReturnsOne) {
    CScriptedInstaller installer;
    const OperationRequest request = Request(static_cast<OperationCommand>(4711));
    EXPECT_EQ(OperationWorker(request, false, installer), 1u);
    EXPECT_TRUE(installer.Calls().empty());
}

TEST_F(Runner, ResultLineNamesTheOperationVersionAndBuildThenTheCodeAndItsText) {
    struct Case {
        OperationRequest request;
        UINT result;
        std::wstring expected;
    };
    OperationRequest install = Request(OperationCommand::Install);
    install.PackagePath = fixtures::Path(L"velonar64-5.45.3.msi");
    OperationRequest unreadable = Request(OperationCommand::Install);
    unreadable.PackagePath = L"Z:\\no\\such\\package.msi";
    const Case cases[] = {
        {Request(OperationCommand::Repair, Record(kProduct, 0, false)), 0, L"Repair: Exit code 0: "},
        {Request(OperationCommand::Uninstall, Record(kProduct, 0x052C0000, false)), 1602,
         L"Uninstall 5.44 (32 bit): Exit code 1602: "},
        {Request(OperationCommand::Repair, Record(kProduct, 0x052E0000, true)), 1618,
         L"Repair 5.46 (64 bit): Exit code 1618: "},
        {install, 3010, L"Install 5.45.3 (64 bit): Exit code 3010: "},
        {unreadable, 1603, L"Install: Exit code 1603: "},
        {Request(static_cast<OperationCommand>(4711)), 1, L"Exit code 1: "},
    };
    for (Case c : cases) {
        CScriptedInstaller installer({c.result});
        CScriptedPrompt prompt;
        EXPECT_EQ(RunOperation(c.request, Context(prompt, installer)), c.result);
        // The line ends with the code's own text.
        std::wstring expected = c.expected + GetErrorText(c.result);
        if (!expected.ends_with(L"\r\n"))
            expected += L"\r\n";
        EXPECT_EQ(prompt.LogText().substr(0, expected.size()), expected) << Narrow(prompt.LogText());
    }
}

// The wait pumps this thread's messages: a window of it still answers while the worker runs.
TEST_F(Runner, WindowsStillAnswerWhileTheWorkerRuns) {
    CScriptedInstaller installer;
    UniqueWindow window(CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr));
    bool answered = false;
    installer.DuringCall = [&](const InstallerCall&) {
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(window.get(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
    };
    OperationRequest request = Request(OperationCommand::Repair, Record(kProduct, 0, false));
    EXPECT_EQ(Run(request, installer), 0u);
    EXPECT_TRUE(answered);
}

// A message handler that fails while the worker is inside Windows Installer: the runner goes on
// waiting for the worker, and the failure goes on only then, with the main window enabled again.
TEST_F(Runner, FailureOfAMessageHandlerDuringTheWaitGoesOnOnlyOnceTheWorkerHasEnded) {
    CFailingWindow failing;
    CScriptedInstaller installer;
    std::atomic<bool> workerEnded{false};
    installer.DuringCall = [&](const InstallerCall&) {
        failing.Fail();
        Sleep(300);  // still inside the installer when the pump hands the failure on
        workerEnded = true;
    };
    OperationRequest request = Request(OperationCommand::Repair, Record(kProduct, 0, false));
    EXPECT_THROW(Run(request, installer), std::bad_alloc);
    EXPECT_TRUE(workerEnded);
    DrainMessages();
}

TEST_F(Runner, WithoutLoggingThereIsNoFileAndNoLogToShow) {
    CScriptedInstaller installer;
    OperationRequest request = Request(OperationCommand::Repair, Record(kProduct, 0, false));
    Run(request, installer);
    ASSERT_EQ(installer.Calls().size(), 1u);
    EXPECT_EQ(installer.Calls()[0].LogPath, std::nullopt);
    EXPECT_TRUE(request.LogPath.empty());
    EXPECT_EQ(m_prompt.ShownLogs(), std::vector<std::wstring>{L""});
}

// Each operation's log is a new file, handed to the installer and then to be shown.
TEST_F(Runner, LoggingGivesEachOperationANewLogToShow) {
    m_options.Logging = true;
    CScriptedInstaller installer;
    OperationRequest first = Request(OperationCommand::Repair, Record(kProduct, 0, false));
    Run(first, installer);
    OperationRequest second = Request(OperationCommand::Repair, Record(kProduct, 0, false));
    Run(second, installer);
    ASSERT_FALSE(first.LogPath.empty());
    EXPECT_NE(second.LogPath, first.LogPath);
    EXPECT_EQ(installer.Calls()[0].LogPath, first.LogPath);
    EXPECT_EQ(m_prompt.ShownLogs(), (std::vector<std::wstring>{first.LogPath, second.LogPath}));
    EXPECT_TRUE(m_prompt.Boxes().empty());
    DeleteFileW(first.LogPath.c_str());
    DeleteFileW(second.LogPath.c_str());
}

TEST_F(Runner, NoCreatableLogWarnsOnceAndTheOperationRunsWithoutOne) {
    m_options.Logging = true;
    const std::wstring missing = ScratchFolder(L"log-no-temp") + L"\\missing";
    EnvironmentOverride tmp(L"TMP", missing.c_str());
    EnvironmentOverride temp(L"TEMP", missing.c_str());
    CScriptedInstaller installer;
    OperationRequest request = Request(OperationCommand::Repair, Record(kProduct, 0, false));
    EXPECT_EQ(Run(request, installer), 0u);
    ASSERT_EQ(m_prompt.Boxes().size(), 1u);
    EXPECT_EQ(m_prompt.Boxes()[0].text, L"Unable to create a log file");
    EXPECT_EQ(m_prompt.Boxes()[0].style, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(installer.Calls()[0].LogPath, std::nullopt);
}

TEST_F(Runner, WorkerThatCannotStartIsReportedWithTheRuntimesText) {
    CScriptedPrompt boxes;
    EXPECT_EQ(ReportThreadStartFailure(boxes, ERROR_NOT_ENOUGH_MEMORY, EAGAIN),
              static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(ReportThreadStartFailure(boxes, 0, EINVAL), 155u);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    char text[256];
    strerror_s(text, sizeof(text), EAGAIN);
    EXPECT_EQ(boxes.Boxes()[0].text, L"_beginthreadex: " + std::wstring(text, text + strlen(text)));
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(boxes.LogText().empty());
}

// Outside Wine the report is in the file before the installer is asked to append its own log.
// (Wine's installer would write over it from the start of the file, which is why the report is
// skipped there.)
TEST_F(Runner, ReportIsInTheLogBeforeTheInstallerAppendsToIt) {
    m_options.Logging = true;
    m_platform.Wine = false;
    CScriptedInstaller installer;
    std::string seen;
    installer.DuringCall = [&](const InstallerCall& call) {
        seen = ReadFileBytes(call.LogPath.value_or(L""));
        std::string appended = seen + "=== Logging started ===\r\n";
        WriteFileBytes(*call.LogPath, appended);
    };
    OperationRequest install = Request(OperationCommand::Install);
    install.PackagePath = fixtures::Path(L"velonar64-5.45.3-signed.msi");
    ASSERT_EQ(Run(install, installer), 0u);
    ASSERT_EQ(installer.Calls().size(), 1u);
    EXPECT_EQ(installer.Calls()[0].LogAttributes, static_cast<DWORD>(INSTALLLOGATTRIBUTES_APPEND));
    ASSERT_GT(seen.size(), 4u);
    EXPECT_EQ(seen.substr(0, 2), std::string("\xFF\xFE"));
    const std::string modules("M\0o\0d\0u\0l\0e\0s\0 \0l\0o\0a\0d\0e\0d\0:\0", 30);
    EXPECT_NE(seen.find(modules), std::string::npos);
    DeleteFileW(install.LogPath.c_str());
}

}  // namespace zid
