#include "operations/runner.h"

#include <process.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "log/installer_log.h"
#include "log/preamble.h"
#include "operations/basic_ui.h"
#include "operations/known_builds.h"
#include "operations/outcome_report.h"
#include "operations/preflight.h"
#include "operations/windows_installer.h"
#include "packages/inventory.h"
#include "packages/msi_file.h"
#include "resource.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/program.h"
#include "win/shell_open.h"
#include "win/untrusted_text.h"

namespace {

// Property dump, verbose and extra debugging output.
constexpr DWORD kLogMode = INSTALLLOGMODE_PROPERTYDUMP | INSTALLLOGMODE_VERBOSE | INSTALLLOGMODE_EXTRADEBUG;
constexpr DWORD kReinstallEverything =
    REINSTALLMODE_FILEREPLACE | REINSTALLMODE_MACHINEDATA | REINSTALLMODE_USERDATA | REINSTALLMODE_SHORTCUT;  // 0x3C0
constexpr wchar_t kInstallCommandLine[] = L"ACTION=INSTALL ALLUSERS=1";
// The reinstall of kReinstallEverything from a package file, which "v" caches again for later repairs.
constexpr wchar_t kReinstallFromPackageCommandLine[] = L"REINSTALL=ALL REINSTALLMODE=vamus";
constexpr wchar_t kRemoveCommandLine[] = L"REMOVE=ALL";
constexpr DWORD kWaitSlice = 100;                      // milliseconds between passes of the pump at the latest
constexpr DWORD kNoThreadError = ERROR_TOO_MANY_TCBS;  // 155, when the thread start left no error
constexpr size_t kRuntimeMessage = 256;

// What the worker thread owns: its own copy of the request.
struct WorkerInput {
    OperationRequest Request;
    bool BasicUi = false;
};

unsigned __stdcall WorkerThread(void* parameter) {
    std::unique_ptr<WorkerInput> input(static_cast<WorkerInput*>(parameter));
    return OperationWorker(input->Request, input->BasicUi);
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

// Waits for the thread answering only messages that other threads send (a call into this thread's
// windows must not hang whoever made it), so that nothing else of the program runs meanwhile.
void WaitAnsweringSentMessages(HANDLE thread) {
    MSG msg;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1)
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// Pumps messages until the thread has ended, waking at least every 100 ms and at once on input.
// An exception out of the pump does not end the wait: the worker is inside Windows Installer, and
// leaving it there would end the process in the middle of an installation. The exception is handed
// back once the worker has ended.
std::exception_ptr WaitPumping(HANDLE thread) {
    for (;;) {
        try {
            PumpMessages();
        } catch (...) {
            WaitAnsweringSentMessages(thread);
            return std::current_exception();
        }
        if (MsgWaitForMultipleObjects(1, &thread, FALSE, kWaitSlice, kWakeOnAnyInput) == WAIT_OBJECT_0 &&
            WaitForSingleObject(thread, 0) == WAIT_OBJECT_0)
            return nullptr;
    }
}

}  // namespace

UINT OperationWorker(const OperationRequest& request, bool basicUi) {
    IWindowsInstaller& installer = WindowsInstaller();
    installer.EnableLog(kLogMode, request.LogPath.empty() ? nullptr : request.LogPath.c_str(),
                        INSTALLLOGATTRIBUTES_APPEND);
    const INSTALLUILEVEL level = basicUi ? INSTALLUILEVEL_BASIC : INSTALLUILEVEL_DEFAULT;
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
        installer.SetInternalUi(basicUi ? INSTALLUILEVEL_BASIC : INSTALLUILEVEL_FULL);
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

DWORD ReportThreadStartFailure(DWORD lastError, int errnoValue) {
    char text[kRuntimeMessage] = "";
    strerror_s(text, kRuntimeMessage, errnoValue);
    wchar_t wide[kRuntimeMessage] = L"";
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(kRuntimeMessage));
    ShowMessage(L"_beginthreadex", wide, MB_ICONERROR);
    return lastError != 0 ? lastError : kNoThreadError;
}

std::optional<DWORD> RunOperation(OperationRequest& request) {
    CWaitCursor busy;
    const std::wstring title = OperationTitle(request);
    const std::wstring prefix = title.empty() ? title : title + L": ";
    // The product code comes from the registry; anything but one GUID could carry more properties.
    if (request.Package && !IsBracedGuid(request.Package->ProductCode)) {
        AddLogLine((prefix + L"Refused").c_str());
        ShowMessage(title,
                    L"The product code of this installation is not a product code: \"" +
                        ShownValue(request.Package->ProductCode) + L"\".\r\nWindows Installer was not started.",
                    MB_ICONERROR);
        return ERROR_INVALID_PARAMETER;
    }
    if (!ConfirmBeforeOperation(request)) {
        AddLogLine((prefix + L"Canceled").c_str());
        return std::nullopt;
    }
    zid::UniqueFile logFile;
    request.LogPath = GetLogFilePath(&logFile);
    WriteDiagnosticPreamble(logFile.get(), request.PackagePath);
    logFile.reset();  // Windows Installer appends to it

    // Disabled before the worker exists, so no click can start a second operation meanwhile.
    HWND main = MainWindow();
    EnableWindow(main, FALSE);
    zid::scope_exit enable([main] { EnableWindow(main, TRUE); });

    auto input = std::make_unique<WorkerInput>(WorkerInput{request, IsBasicUiMode()});
    SetLastError(0);
    zid::UniqueHandle thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WorkerThread, input.get(), 0, nullptr)));
    if (!thread) {
        const DWORD error = GetLastError();
        return ReportThreadStartFailure(error, errno);
    }
    input.release();  // the thread's now
    const std::exception_ptr fault = WaitPumping(thread.get());
    DWORD result = 0;
    GetExitCodeThread(thread.get(), &result);
    thread.reset();
    if (fault)
        std::rethrow_exception(fault);
    enable.release();
    EnableWindow(main, TRUE);
    SetForegroundWindow(main);

    wchar_t code[32];
    swprintf(code, 32, L"Exit code %d: ", static_cast<int>(result));
    const std::wstring line = prefix + code + GetErrorText(result);
    AddLogLine(line.c_str());
    ReportOutcome(request, title, result);
    ShowInstallerLog(request.LogPath);
    return result;
}

void ShowInstallerLog(const std::wstring& path) {
    std::wstring shown;
    if (!path.empty()) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            ReportLastError(L"GetFileAttributesEx");
        } else if (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0) {
            ShellOpen(path);
            shown = path;
        }
    }
    SetLastLogPath(shown);
    EnableWindow(GetDlgItem(MainWindow(), IDC_COPY_PATH), !LastLogPath().empty());
}

namespace {
std::wstring& LastPath() {
    static std::wstring path;
    return path;
}
}  // namespace

const std::wstring& LastLogPath() {
    return LastPath();
}

void SetLastLogPath(std::wstring path) {
    LastPath() = std::move(path);
}
