#include "shell/startup.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "net/download_engine.h"
#include "operations/operation_context.h"
#include "operations/windows_installer.h"
#include "releases/catalogue_pages.h"
#include "releases/download_context.h"
#include "releases/release_lookup.h"
#include "releases/website_address.h"
#include "shell/elevated_step.h"
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

// A package run: exactly one argument, handed to the install decision flow. False on a usage error.
// The run ends with the install's own result, as callers of msiexec expect; with 1 when the flow
// ended before installing (or with the code of a quit message seen meanwhile).
bool RunCommandLine(const wchar_t* commandTail, CThisPcPage& thisPc, IPrompt& prompt, CMessagePump& pump) {
    CWaitCursor busy;
    int count = 0;
    UniqueArgumentList parts(CommandLineToArgvW(commandTail, &count));
    if (!parts || count != 1) {
        prompt.Tell(L"Usage: ZIDezureziv [MSI_file]", MB_ICONERROR);
        return false;
    }
    // Made absolute before anything else: the recent list keeps it, and a relative path would later
    // name a file of whatever folder is current then.
    std::wstring package;
    if (const DWORD error = FullPathName(parts.get()[0], package)) {
        TellError(prompt, parts.get()[0], error);
        pump.EndWith(pump.ExitCode());
        return true;
    }
    const std::optional<DWORD> result = thisPc.Install(package);
    pump.EndWith(result ? static_cast<int>(*result) : pump.ExitCode());
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

    if (commandTail && *commandTail && !RunCommandLine(commandTail, main.ThisPc(), prompt, pump))
        return 1;

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
