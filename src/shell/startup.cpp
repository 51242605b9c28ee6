#include "shell/startup.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "net/download_engine.h"
#include "operations/install_flow.h"
#include "releases/catalogue_pages.h"
#include "releases/release_lookup.h"
#include "resource.h"
#include "shell/main_window.h"
#include "win/callback_guard.h"
#include "win/com_ptr.h"
#include "win/errors.h"
#include "win/file_io.h"
#include "win/handles.h"
#include "win/message_box.h"
#include "win/message_pump.h"
#include "win/platform.h"
#include "win/program.h"
#include "win/settings.h"

namespace {

constexpr DWORD kCommonControlClasses = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;  // 0x40FF
constexpr DWORD kComModel = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;
constexpr DWORD kMainLoopNap = 10;          // milliseconds after each pass of the main loop
constexpr size_t kTerminationBuffer = 160;  // characters, with the terminator
constexpr size_t kExceptionDetail = 79;
constexpr int kExitOutOfMemory = 12;
constexpr int kExitException = -1;

// The download engine and its asynchronous session; without them the program runs without downloads.
std::unique_ptr<CVNInet> OpenDownloadEngine(HWND owner) {
    auto engine = std::make_unique<CVNInet>(owner);
    if (const DWORD error = engine->Open())
        ReportError(L"InternetOpen", error);
    return engine;
}

// A package run: exactly one argument, handed to the install decision flow. False on a usage error.
// The run ends with the install's own result, as callers of msiexec expect; with 1 when the flow
// ended before installing (or with the code of a quit message seen meanwhile).
bool RunCommandLine(CMainWindow& main, const wchar_t* commandTail) {
    CWaitCursor busy;
    int count = 0;
    zid::UniqueArgumentList parts(CommandLineToArgvW(commandTail, &count));
    if (!parts || count != 1) {
        ShowMessageBox(main.Window(), L"Usage: ZIDezureziv [MSI_file]", kProgramName, MB_ICONERROR);
        return false;
    }
    // Made absolute before anything else: the recent list keeps it, and a relative path would later
    // name a file of whatever folder is current then.
    std::wstring package;
    if (const DWORD error = FullPathName(parts.get()[0], package)) {
        ReportError(parts.get()[0], error);
        Pump().Quit = true;
        return true;
    }
    if (const std::optional<DWORD> result = InstallPackage(main.Window(), package, main.ThisPc()))
        Pump().ExitCode = static_cast<int>(*result);
    Pump().Quit = true;
    return true;
}

void RunMainLoop() {
    while (!Pump().Quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, kWakeOnAnyInput);
        PumpMessages();
        Sleep(kMainLoopNap);
    }
}

int RunStartup(HINSTANCE instance, const wchar_t* commandTail) {
    Platform().Wine = DetectWine();
    Platform().Win64 = DetectWow64();
    Platform().Instance = instance;

    zid::CComScope com(kComModel);
    INITCOMMONCONTROLSEX controls{sizeof(controls), kCommonControlClasses};
    InitCommonControlsEx(&controls);
    OpenSettings();
    Platform().SmallIcons = FindSmallIconList();

    Pump().Accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MakeCataloguePagesAbsolute();

    CMainWindow main;
    main.Create(instance);
    RethrowCallbackException();
    if (!main.Window()) {
        ReportLastError(L"CreateDialog");
        return 1;
    }
    Pump().CtrlB = [&main] { main.ToggleBasicUi(); };
    zid::scope_exit forgetWindow([] { Pump().CtrlB = nullptr; });
    ShowWindow(main.Window(), SW_SHOW);

    // Declared after the window: the session closes first, so no download outlives the windows it reports to.
    std::unique_ptr<CVNInet> engine = OpenDownloadEngine(main.Window());
    SetDownloadEngine(engine.get());
    zid::scope_exit forgetEngine([] { SetDownloadEngine(nullptr); });
    // Repair and uninstall may fetch a release whose packages are gone from the website.
    CWebsitePackageSource website;
    SetPackageSource(&website);
    zid::scope_exit forgetWebsite([] { SetPackageSource(nullptr); });

    if (commandTail && *commandTail && !RunCommandLine(main, commandTail))
        return 1;

    RunMainLoop();
    return Pump().ExitCode;
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
    ShowMessageBox(nullptr, BuildTerminationText(detail), kProgramName, MB_ICONERROR);
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

int RunInstallerProgram(HINSTANCE instance, const wchar_t* commandTail) {
    try {
        return RunStartup(instance, commandTail);
    } catch (const std::bad_alloc&) {
        return Terminate(L"Out of memory", kExitOutOfMemory);
    } catch (const std::exception& e) {
        std::wstring detail = FromAnsi(e.what());
        if (detail.size() > kExceptionDetail)
            detail.resize(kExceptionDetail);
        return Terminate(detail, kExitException);
    }
}
