#include "shell/startup.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "net/download_engine.h"
#include "operations/operation_context.h"
#include "operations/windows_installer.h"
#include "releases/catalogue_pages.h"
#include "releases/download_context.h"
#include "releases/release_lookup.h"
#include "releases/website_address.h"
#include "shell/command_line.h"
#include "shell/command_run.h"
#include "shell/elevated_step.h"
#include "shell/unattended.h"
#include "ui/main_window.h"
#include "ui/progress_view.h"
#include "ui/window_prompt.h"
#include "ui/window_waiter.h"
#include "win/callback_guard.h"
#include "win/com_ptr.h"
#include "ui/busy_cursor.h"
#include "win/errors.h"
#include "win/file_io.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/platform.h"
#include "win/program.h"
#include "win/settings.h"

namespace zid {

namespace {

constexpr DWORD kCommonControlClasses = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;  // 0x40FF
constexpr DWORD kComModel = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;
constexpr size_t kTerminationBuffer = 160;  // characters, with the terminator
constexpr size_t kExceptionDetail = 79;
constexpr int kExitOutOfMemory = 12;
constexpr int kExitException = -1;

std::vector<std::wstring> SplitArguments(const wchar_t* commandTail) {
    std::vector<std::wstring> arguments;
    if (!commandTail || !*commandTail)
        return arguments;
    int count = 0;
    UniqueArgumentList parts(CommandLineToArgvW(commandTail, &count));
    for (int i = 0; parts && i < count; ++i)
        arguments.emplace_back(parts.get()[i]);
    return arguments;
}

// What the command line asks for with the window up: the usage box, the syntax, or an operation whose
// result the program ends with, as callers of msiexec expect; with 1 when nothing was run (or with the
// code of a quit message seen meanwhile). False when the main loop is to run.
bool RunWindowCommand(const CommandLine& command, const OperationContext& context, CThisPcPage& thisPc,
                      CWebsitePackageSource& website, CMessagePump& pump) {
    CWaitCursor busy;
    switch (command.Action) {
    case CommandAction::None:
        return false;
    case CommandAction::Usage:
        context.Prompt.Tell(L"Usage: ZIDezureziv [MSI_file]", MB_ICONERROR);
        pump.EndWith(1);
        return true;
    case CommandAction::Help:
        context.Prompt.Tell(CommandLineSyntax(), MB_ICONINFORMATION);
        pump.EndWith(0);
        return true;
    case CommandAction::Malformed:
        context.Prompt.Tell(command.Problem + L"\r\n\r\n" + CommandLineSyntax(), MB_ICONERROR);
        pump.EndWith(ERROR_INVALID_COMMAND_LINE);
        return true;
    default:
        break;
    }
    OperationOptions options = context.Options;
    if (!command.LogFile.empty()) {
        options.Logging = true;
        options.LogFile = PrepareLogFile(command.LogFile, context.Prompt);
    }
    const OperationContext withOptions{context.Prompt,   context.Waiter,   context.Installer, options,
                                       context.Settings, context.Platform, context.Source};
    const CommandResult result = RunCommand(command, withOptions, thisPc, website);
    if (!result.Text.empty())
        context.Prompt.Tell(result.Title + L": " + result.Text, MB_ICONERROR);
    pump.EndWith(result.Code ? static_cast<int>(*result.Code) : pump.ExitCode());
    return true;
}

int RunStartup(HINSTANCE instance, const wchar_t* commandTail, const ProgramSeams& seams) {
    const PlatformFacts platform = DetectPlatform(instance);
    CComScope com(kComModel);
    INITCOMMONCONTROLSEX controls{sizeof(controls), kCommonControlClasses};
    InitCommonControlsEx(&controls);
    CSettingsStore settings;
    settings.Open();
    MakeCataloguePagesAbsolute(GetWebsiteBase());

    // /list and the runs without a person show no window at all.
    const CommandLine command = ParseCommandLine(SplitArguments(commandTail));
    if (command.Action == CommandAction::List)
        return RunList(platform);
    if (command.Mode == RunMode::Quiet && command.Action == CommandAction::Help) {
        WriteStandardOutput(CommandLineSyntax() + L"\r\n");
        return 0;
    }
    if (command.Mode == RunMode::Quiet && command.Action == CommandAction::Malformed) {
        WriteStandardOutput(command.Problem + L"\r\n");
        return ERROR_INVALID_COMMAND_LINE;
    }
    if (command.Mode != RunMode::Window && command.Action != CommandAction::Malformed &&
        command.Action != CommandAction::Help) {
        CMsiInstaller msi;
        return RunUnattended(command, platform, settings, seams.Installer ? *seams.Installer : msi);
    }

    // The program's parts, each handed what it uses. The engine is declared after the window and what
    // shows in it: its session closes first, so no download outlives the windows it reports to.
    CMessagePump pump;
    CMsiInstaller msi;
    IWindowsInstaller& installer = seams.Installer ? *seams.Installer : msi;
    CMainWindow main(platform, settings);
    CWindowPrompt windowPrompt(platform, main);
    IPrompt& prompt = seams.Prompt ? *seams.Prompt : windowPrompt;
    CWindowWaiter waiter(main, pump);
    CProgressView progress(platform, main, pump, prompt);
    CVNInet engine;
    OperationContext operations{prompt, waiter, installer, main.Options(), settings, platform};
    const DownloadContext downloads{operations, engine, progress};
    // Repair and uninstall may fetch a release whose packages are gone from the website.
    CWebsitePackageSource website(downloads);
    operations.Source = &website;

    main.Create(downloads);
    RethrowCallbackException();
    if (!main.Window()) {
        const DWORD error = GetLastError();
        TellError(prompt, L"CreateDialog", error);
        return 1;
    }
    pump.SetFilter(&main);
    scope_exit forgetWindow([&pump] { pump.SetFilter(nullptr); });
    ShowWindow(main.Window(), SW_SHOW);

    // Without the session the program runs without downloads.
    if (const DWORD error = engine.Open(main.Window()))
        TellError(prompt, L"InternetOpen", error);

    if (RunWindowCommand(command, operations, main.ThisPc(), website, pump))
        return pump.ExitCode();

    pump.RunMainLoop();
    return pump.ExitCode();
}

std::wstring FromAnsi(const char* text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

int Terminate(const std::wstring& detail, int exitCode) {
    // The guard that stored the exception posted a quit message to end the loops it was in; left in
    // the queue, it would close this box at once.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    MessageBoxW(nullptr, BuildTerminationText(detail).c_str(), kProgramName, MB_ICONERROR);
    return exitCode;
}

}  // namespace

std::wstring BuildTerminationText(const std::wstring& detail) {
    std::wstring text = L"ZIDezureziv terminated due to an exception";
    if (!detail.empty()) {
        text += L": ";
        text += detail;
    }
    if (text.size() > kTerminationBuffer - 1)
        text.resize(kTerminationBuffer - 1);
    return text;
}

int RunInstallerProgram(HINSTANCE instance, const wchar_t* commandTail, const ProgramSeams& seams) {
    try {
        CMsiInstaller msi;
        if (const std::optional<int> step = RunElevatedStep(commandTail, seams.Installer ? *seams.Installer : msi))
            return *step;
        return RunStartup(instance, commandTail, seams);
    } catch (const std::bad_alloc&) {
        return Terminate(L"Out of memory", kExitOutOfMemory);
    } catch (const std::exception& e) {
        std::wstring detail = FromAnsi(e.what());
        if (detail.size() > kExceptionDetail)
            detail.resize(kExceptionDetail);
        return Terminate(detail, kExitException);
    }
}

}  // namespace zid
