#include "operations/runner.h"

#include <process.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "log/installer_log.h"
#include "log/preamble.h"
#include "operations/known_builds.h"
#include "operations/outcome_report.h"
#include "operations/preflight.h"
#include "operations/prompt.h"
#include "packages/inventory.h"
#include "packages/msi_file.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

// Property dump, verbose and extra debugging output.
constexpr DWORD kLogMode = INSTALLLOGMODE_PROPERTYDUMP | INSTALLLOGMODE_VERBOSE | INSTALLLOGMODE_EXTRADEBUG;
constexpr DWORD kReinstallEverything =
    REINSTALLMODE_FILEREPLACE | REINSTALLMODE_MACHINEDATA | REINSTALLMODE_USERDATA | REINSTALLMODE_SHORTCUT;  // 0x3C0
constexpr wchar_t kInstallCommandLine[] = L"ACTION=INSTALL ALLUSERS=1";
// The reinstall of kReinstallEverything from a package file, which "v" caches again for later repairs.
constexpr wchar_t kReinstallFromPackageCommandLine[] = L"REINSTALL=ALL REINSTALLMODE=vamus";
constexpr wchar_t kRemoveCommandLine[] = L"REMOVE=ALL";
constexpr DWORD kNoThreadError = ERROR_TOO_MANY_TCBS;  // 155, when the thread start left no error
constexpr size_t kRuntimeMessage = 256;

// What the worker thread owns: its own copy of the request. The installer is the program's, and lives
// until the worker has ended.
struct WorkerInput {
    OperationRequest Request;
    bool BasicUi = false;
    INSTALLUILEVEL UnattendedUi = INSTALLUILEVEL_NOCHANGE;
    IWindowsInstaller* Installer = nullptr;
};

unsigned __stdcall WorkerThread(void* parameter) {
    std::unique_ptr<WorkerInput> input(static_cast<WorkerInput*>(parameter));
    return OperationWorker(input->Request, input->BasicUi, *input->Installer, input->UnattendedUi);
}

std::wstring CommandWord(OperationCommand command) {
    switch (command) {
    case OperationCommand::Uninstall:
        return L"Uninstall";
    case OperationCommand::Install:
        return L"Install";
    case OperationCommand::Repair:
        return L"Repair";
    }
    return {};
}

void LogResult(const std::wstring& prefix, DWORD result, IPrompt& prompt) {
    wchar_t code[32];
    swprintf(code, 32, L"Exit code %d: ", static_cast<int>(result));
    prompt.Log(prefix + code + GetErrorText(result));
}

// The log file the run was given, opened at its end for the report; its path, or empty.
std::wstring OpenGivenLogFile(const std::wstring& path, UniqueFile& held) {
    held.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (!held)
        return {};
    SetFilePointer(held.get(), 0, nullptr, FILE_END);
    return path;
}

}  // namespace

UINT OperationWorker(const OperationRequest& request, bool basicUi, IWindowsInstaller& installer,
                     INSTALLUILEVEL unattended) {
    installer.EnableLog(kLogMode, request.LogPath.empty() ? nullptr : request.LogPath.c_str(),
                        INSTALLLOGATTRIBUTES_APPEND);
    const bool given = unattended != INSTALLUILEVEL_NOCHANGE;
    const INSTALLUILEVEL level = given ? unattended : basicUi ? INSTALLUILEVEL_BASIC : INSTALLUILEVEL_DEFAULT;
    const wchar_t* product = request.Package ? request.Package->ProductCode.c_str() : L"";
    switch (request.Command) {
    case OperationCommand::Uninstall: {
        installer.SetInternalUi(level);
        if (!request.PackagePath)
            return installer.ConfigureProduct(product, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT,
                                              request.CommandLine.empty() ? nullptr : request.CommandLine.c_str());
        // From a package file in place of Windows Installer's missing copy of the installed one.
        std::wstring commandLine = kRemoveCommandLine;
        if (!request.CommandLine.empty())
            commandLine += L" " + request.CommandLine;
        return installer.InstallProduct(request.PackagePath->c_str(), commandLine.c_str());
    }
    case OperationCommand::Install:
        installer.SetInternalUi(given ? unattended : basicUi ? INSTALLUILEVEL_BASIC : INSTALLUILEVEL_FULL);
        return installer.InstallProduct(request.PackagePath ? request.PackagePath->c_str() : L"", kInstallCommandLine);
    case OperationCommand::Repair:
        installer.SetInternalUi(level);
        if (request.PackagePath)
            return installer.InstallProduct(request.PackagePath->c_str(), kReinstallFromPackageCommandLine);
        return installer.ReinstallProduct(product, kReinstallEverything);
    }
    return ERROR_INVALID_FUNCTION;  // 1: not an operation
}

std::wstring OperationTitle(const OperationRequest& request) {
    std::wstring title = CommandWord(request.Command);
    if (title.empty())
        return title;
    std::wstring version;
    const wchar_t* label = BuildLabel(false);
    if (request.Package) {
        if (request.Package->Version != 0)
            version = FormatVersion(request.Package->Version);
        label = BuildLabel(request.Package->Is64Bit);
    } else if (request.PackagePath) {
        CMsiFile package;
        package.Open(*request.PackagePath);
        version = ShownValue(package.GetProperty(L"ProductVersion"));
        label = BuildLabel(package.GetProperty(L"UpgradeCode") == kUpgradeCode64);
    }
    if (!version.empty())
        title += L" " + version + L" (" + label + L")";
    return title;
}

DWORD ReportThreadStartFailure(IPrompt& prompt, DWORD lastError, int errnoValue) {
    char text[kRuntimeMessage] = "";
    strerror_s(text, kRuntimeMessage, errnoValue);
    wchar_t wide[kRuntimeMessage] = L"";
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(kRuntimeMessage));
    TellContext(prompt, L"_beginthreadex", wide, MB_ICONERROR);
    return lastError != 0 ? lastError : kNoThreadError;
}

std::optional<DWORD> RunOperation(OperationRequest& request, const OperationContext& context) {
    IPrompt& prompt = context.Prompt;
    const std::wstring title = OperationTitle(request);
    const std::wstring prefix = title.empty() ? title : title + L": ";
    // The product code comes from the registry; anything but one GUID could carry more properties.
    if (request.Package && !IsBracedGuid(request.Package->ProductCode)) {
        prompt.Log(prefix + L"Refused");
        TellContext(prompt, title,
                    L"The product code of this installation is not a product code: \"" +
                        ShownValue(request.Package->ProductCode) + L"\".\r\nWindows Installer was not started.",
                    MB_ICONERROR);
        return ERROR_INVALID_PARAMETER;
    }
    // Nobody is there to wait for the other installation: the caller retries a 1618.
    if (context.Options.UnattendedUi != INSTALLUILEVEL_NOCHANGE && AnotherInstallationRuns()) {
        prompt.Log(L"Check: another installation is in progress.");
        LogResult(prefix, ERROR_INSTALL_ALREADY_RUNNING, prompt);
        return ERROR_INSTALL_ALREADY_RUNNING;
    }
    if (!ConfirmBeforeOperation(request, context)) {
        prompt.Log(prefix + L"Canceled");
        return std::nullopt;
    }
    UniqueFile logFile;
    if (context.Options.Logging) {
        request.LogPath = context.Options.LogFile.empty() ? CreateLogFile(&logFile)
                                                          : OpenGivenLogFile(context.Options.LogFile, logFile);
        if (request.LogPath.empty())
            prompt.Tell(L"Unable to create a log file", MB_ICONWARNING);
    }
    if (const DWORD error = WriteDiagnosticPreamble(logFile.get(), request.PackagePath, context.Platform.Wine))
        TellError(prompt, L"WriteLine", error);
    logFile.reset();  // Windows Installer appends to it

    auto input = std::make_unique<WorkerInput>(
        WorkerInput{request, context.Options.BasicUi, context.Options.UnattendedUi, &context.Installer});
    SetLastError(0);
    UniqueHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WorkerThread, input.get(), 0, nullptr)));
    if (!thread) {
        const DWORD error = GetLastError();
        return ReportThreadStartFailure(prompt, error, errno);
    }
    input.release();  // the thread's now
    context.Waiter.WaitForWorker(thread.get());
    DWORD result = 0;
    GetExitCodeThread(thread.get(), &result);
    thread.reset();

    LogResult(prefix, result, prompt);
    ReportOutcome(request, title, result, prompt);
    prompt.ShowInstallerLog(request.LogPath);
    return result;
}

}  // namespace zid
