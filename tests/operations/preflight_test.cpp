// Before an operation: what would make it fail is said, and asked about when it certainly would.
// After it: why it failed, in plain words, in the log pane and in the summary beside the log.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <thread>

#include "fixtures/fixture_files.h"
#include "operations/preflight.h"
#include "operations/runner.h"
#include "support/installer_stand_ins.h"
#include "support/launch_recorder.h"
#include "support/registry_key.h"
#include "win/handles.h"
#include "win/registry.h"

namespace zid {

namespace {

constexpr wchar_t kUnknownProduct[] = L"{DDDDDDDD-2222-3333-4444-555555555555}";
constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

OperationRequest Request(OperationCommand command, std::optional<InstalledPackage> package = std::nullopt) {
    OperationRequest request;
    request.Command = command;
    request.Package = std::move(package);
    if (command == OperationCommand::Install)
        request.PackagePath = fixtures::Path(L"velonar64-5.45.3.msi");
    return request;
}

std::wstring ProductInfo(const std::wstring& product, const wchar_t* property) {
    wchar_t value[MAX_PATH] = L"";
    DWORD length = MAX_PATH;
    MsiGetProductInfoW(product.c_str(), property, value, &length);
    return value;
}

class Preflight : public OperationsTest {
protected:
    CMsiInstaller m_msi;
};

}  // namespace

TEST_F(Preflight, NothingInTheWayMeansNothingSaid) {
    EXPECT_TRUE(CheckBeforeOperation(Request(OperationCommand::Install), m_msi).empty());
}

TEST_F(Preflight, AnotherInstallationRunningIsAskedAboutAndCancelRunsNothing) {
    CScriptedInstaller installer;
    {
        CRunningInstallation running;
        const auto findings = CheckBeforeOperation(Request(OperationCommand::Install), m_msi);
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(findings[0].Line, L"Check: another installation is in progress.");
        CScriptedPrompt boxes({IDCANCEL});
        OperationRequest request = Request(OperationCommand::Install);
        EXPECT_EQ(RunOperation(request, Context(boxes, installer)), std::nullopt);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_NE(boxes.Boxes()[0].text.find(L"(1618)"), std::wstring::npos);
        EXPECT_EQ(boxes.Boxes()[0].kind, QuestionKind::AnotherInstallation);
        EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2));
        EXPECT_TRUE(installer.Calls().empty());
        EXPECT_EQ(boxes.LogText(),
                  L"Check: another installation is in progress.\r\nInstall 5.45.3 (64 bit): Canceled\r\n");
    }
    EXPECT_TRUE(CheckBeforeOperation(Request(OperationCommand::Install), m_msi).empty());
}

// Basic UI mode answers the checks' questions as it answers the program's own: the finding is a line.
TEST_F(Preflight, BasicUiModeGoesAheadWithoutAsking) {
    m_options.BasicUi = true;
    CRunningInstallation running;
    CScriptedInstaller installer({1618});
    CScriptedPrompt prompt;
    OperationRequest request = Request(OperationCommand::Install);
    EXPECT_EQ(RunOperation(request, Context(prompt, installer)), 1618u);
    EXPECT_EQ(installer.Calls().size(), 1u);
    EXPECT_TRUE(prompt.Boxes().empty());
    EXPECT_EQ(prompt.LogText().find(L"Check: another installation is in progress.\r\n"), 0u);
}

// Only the mutex's existence is asked: an installation that ended without releasing it left it
// abandoned, and it still is after the check (owning it even for a moment would have cleared that).
TEST_F(Preflight, InstallersMutexIsLookedAtNotTaken) {
    zid::UniqueHandle mutex;
    std::thread([&] { mutex.reset(CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute")); }).join();
    ASSERT_TRUE(mutex);
    EXPECT_EQ(CheckBeforeOperation(Request(OperationCommand::Install), m_msi).size(), 1u);
    EXPECT_EQ(WaitForSingleObject(mutex.get(), 0), static_cast<DWORD>(WAIT_ABANDONED));
    ReleaseMutex(mutex.get());
}

TEST_F(Preflight, PendingRestartIsSaidWithoutAQuestion) {
    CRegKey sessionManager;
    ASSERT_EQ(sessionManager.OpenKey(HKEY_LOCAL_MACHINE, kSessionManager, KEY_ALL_ACCESS | KEY_WOW64_64KEY),
              ERROR_SUCCESS);
    std::wstring earlier;
    ASSERT_NE(QueryStringValue(sessionManager.get(), L"PendingFileRenameOperations", earlier), ERROR_SUCCESS)
        << "the test prefix has renames pending";
    {
        TestRegistryKey update(
            HKEY_LOCAL_MACHINE,
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired",
            KEY_WOW64_64KEY);
        const wchar_t renames[] = L"\\??\\C:\\a.dll\0\0";
        RegSetValueExW(sessionManager.get(), L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(renames), sizeof(renames));
        const auto findings = CheckBeforeOperation(Request(OperationCommand::Install), m_msi);
        RegDeleteValueW(sessionManager.get(), L"PendingFileRenameOperations");
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(findings[0].Line,
                  L"Check: a restart of Windows is pending (files to replace at the next start, "
                  L"Windows Update). If the operation fails, restart Windows and try again.");
        EXPECT_TRUE(findings[0].Question.empty());
    }
    EXPECT_TRUE(CheckBeforeOperation(Request(OperationCommand::Install), m_msi).empty());
}

TEST_F(Preflight, EntryThatWindowsInstallerDoesNotKnowCannotBeRepairedOrRemoved) {
    for (OperationCommand command : {OperationCommand::Repair, OperationCommand::Uninstall}) {
        const auto findings = CheckBeforeOperation(Request(command, Record(kUnknownProduct, 0x052E0000, true)), m_msi);
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_NE(findings[0].Line.find(L"Windows Installer does not know this installation"), std::wstring::npos);
        EXPECT_FALSE(findings[0].Question.empty());
    }
    EXPECT_TRUE(CheckBeforeOperation(Request(OperationCommand::Install), m_msi).empty());
}

// A real installation whose cached package, and then also its source, disappear.
TEST_F(Preflight, MissingCachedPackageIsSaidAndAskedAboutOnceTheSourceIsGoneToo) {
    CLaunchRecorder recorder;
    const std::wstring folder = ScratchFolder(L"source");
    const std::wstring source = folder + L"\\velonar64-5.45.msi";
    ASSERT_TRUE(CopyFileW(fixtures::Path(L"velonar64-5.45.msi").c_str(), source.c_str(), FALSE));
    const std::wstring product = fixtures::PackageInfo(L"velonar64-5.45.msi").productCode;
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ASSERT_EQ(MsiInstallProductW(source.c_str(), L"ALLUSERS=1"), 0u);
    const InstalledPackage package = Record(product, 0x052D0000, true);
    zid::scope_exit removeProduct([&] {
        CopyFileW(fixtures::Path(L"velonar64-5.45.msi").c_str(), source.c_str(), FALSE);
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MsiConfigureProductW(product.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    });
    EXPECT_TRUE(CheckBeforeOperation(Request(OperationCommand::Repair, package), m_msi).empty());

    const std::wstring cached = ProductInfo(product, INSTALLPROPERTY_LOCALPACKAGE);
    ASSERT_TRUE(DeleteFileW(cached.c_str())) << Narrow(cached);
    auto findings = CheckBeforeOperation(Request(OperationCommand::Repair, package), m_msi);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Line,
              L"Check: the copy of the package that Windows Installer keeps for this installation "
              L"is missing (" +
                  cached + L").");
    EXPECT_TRUE(findings[0].Question.empty());

    ASSERT_TRUE(DeleteFileW(source.c_str()));
    findings = CheckBeforeOperation(Request(OperationCommand::Uninstall, package), m_msi);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_TRUE(findings[0].Line.ends_with(L", and so is the package it was installed from."));
    EXPECT_NE(findings[0].Question.find(L"(1612)"), std::wstring::npos);

    // Going ahead all the same: the removal fails, and the log pane says why.
    m_options.Logging = true;
    CScriptedPrompt boxes({IDOK});
    OperationRequest removal = Request(OperationCommand::Uninstall, package);
    EXPECT_EQ(RunOperation(removal, Context(boxes, m_msi)), 1612u);
    EXPECT_NE(boxes.LogText().find(L"Why: the package this version of Velonar was installed from is no longer "
                                   L"available (1612)."),
              std::wstring::npos)
        << Narrow(boxes.LogText());
    DeleteFileW(removal.LogPath.c_str());
}

// The installer's own log of a failing custom action names the step; the summary goes beside the log.
TEST_F(Preflight, FailedInstallIsExplainedFromItsLogAndSummarised) {
    CLaunchRecorder recorder;
    m_options.Logging = true;
    CScriptedPrompt prompt;
    OperationRequest install = Request(OperationCommand::Install);
    install.PackagePath = fixtures::Path(L"velonar64-5.47-failingaction.msi");
    const std::optional<DWORD> result = RunOperation(install, Context(prompt, m_msi));
    EXPECT_TRUE(result == 1603u || result == 1627u) << result.value_or(0);
    EXPECT_NE(prompt.LogText().find(L"Why: the operation failed in its step RegisterVelonarService"),
              std::wstring::npos)
        << Narrow(prompt.LogText());
    ASSERT_EQ(prompt.ShownLogs(), std::vector<std::wstring>{install.LogPath});
    const std::wstring summary = install.LogPath.substr(0, install.LogPath.size() - 4) + L".summary.txt";
    const std::string text = ReadFileBytes(summary);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(text.find("Failing action: RegisterVelonarService"), std::string::npos) << text;
    EXPECT_NE(text.find("Install 5.47 (64 bit) "), std::string::npos) << text;
    DeleteFileW(summary.c_str());
    DeleteFileW(install.LogPath.c_str());
}

TEST_F(Preflight, WithoutALogOnlyTheCodeIsExplainedAndSuccessAddsNothing) {
    struct Case {
        UINT result;
        const wchar_t* line;  // null: no line after the result line
    };
    const Case cases[] = {
        {1618, L"Why: another installation was in progress (1618). Wait until it ends, then try again."},
        {3010, L"The operation succeeded; restart Windows to complete it (3010)."},
        {0, nullptr},
        {4711, nullptr},
    };
    for (const Case& c : cases) {
        CScriptedInstaller installer({c.result});
        CScriptedPrompt prompt;
        OperationRequest request = Request(OperationCommand::Repair, Record(kUnknownProduct, 0, false));
        EXPECT_EQ(RunOperation(request, Context(prompt, installer)), c.result);
        const std::wstring pane = prompt.LogText();
        const size_t resultLine = pane.find(L"Repair: Exit code ");
        ASSERT_NE(resultLine, std::wstring::npos);
        const std::wstring after = pane.substr(pane.find(L"\r\n", resultLine) + 2);
        if (c.line)
            EXPECT_EQ(after, std::wstring(c.line) + L"\r\n") << Narrow(pane);
        else
            EXPECT_TRUE(after.empty()) << Narrow(pane);
    }
}

}  // namespace zid
