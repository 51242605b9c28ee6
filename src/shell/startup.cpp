#include "shell/startup.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstring>
#include <exception>
#include <new>

#include "packages/install_flow.h"
#include "releases/catalogue_pages.h"
#include "releases/download_engine.h"
#include "resource.h"
#include "shell/app.h"
#include "shell/callback_guard.h"
#include "shell/errors.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/settings.h"

namespace {

constexpr DWORD kCommonControlClasses = 0x40FF;  // Windows 95 classes and the standard classes
constexpr UINT kWaitAnyInput = 0x4FF;              // QS_ALLINPUT

void FindSmallIconList() {
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    SHFILEINFOW info{};
    theApp.m_smallIcons = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
        windows, FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
        SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES));
}

// The download engine and its asynchronous session; without them the program runs without downloads.
void OpenInternetSession() {
    theApp.m_downloads = std::make_unique<CVNInet>(theApp.m_mainWindow);
    CVNInet& engine = *theApp.m_downloads;
    engine.m_session = InternetOpenW(kProgramName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                     INTERNET_FLAG_ASYNC);
    if (engine.m_session &&
        InternetSetStatusCallbackW(engine.m_session, &CVNInet::StatusCallback) != INTERNET_INVALID_STATUS_CALLBACK) {
        engine.m_ready = true;
        return;
    }
    ReportLastError(L"InternetOpen");
}

// A package run: exactly one argument, handed to the install decision flow. False on a usage error.
bool RunCommandLine(const wchar_t* commandTail) {
    CWaitCursor busy;
    int count = 0;
    LPWSTR* parts = CommandLineToArgvW(commandTail, &count);
    zid::scope_exit freeParts([parts] { LocalFree(parts); });
    if (!parts || count != 1) {
        ShowMessageBox(theApp.m_mainWindow, L"Usage: ZIDezureziv [MSI_file]", kProgramName, MB_ICONERROR);
        return false;
    }
    InstallPackage(theApp.m_mainWindow, parts[0]);
    theApp.m_quit = true;
    return true;
}

void RunMainLoop() {
    while (!theApp.m_quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, kWaitAnyInput);
        PumpMessages();
        Sleep(10);
    }
}

int RunStartup(HINSTANCE instance, const wchar_t* commandTail) {
    theApp.m_wine = DetectWine();
    theApp.m_win64 = DetectWow64();

    theApp.m_instance = instance;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof(controls), kCommonControlClasses};
    InitCommonControlsEx(&controls);
    OpenSettings();
    FindSmallIconList();

    theApp.m_accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MakeCataloguePagesAbsolute();

    CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainWindowProc, 0);
    RethrowCallbackException();
    if (!theApp.m_mainWindow) {
        ReportLastError(L"CreateDialog");
        return 1;
    }
    ShowWindow(theApp.m_mainWindow, SW_SHOW);
    OpenInternetSession();

    if (commandTail && *commandTail && !RunCommandLine(commandTail))
        return 1;

    RunMainLoop();
    CoUninitialize();
    return theApp.m_exitCode;
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
    ShowMessageBox(nullptr, BuildTerminationText(detail), kProgramName, MB_ICONERROR);
    return exitCode;
}

}  // namespace

bool DetectWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool DetectWow64() {
    // A 64-bit build of these sources (used where only 64-bit Wine runs) is on 64-bit Windows by definition.
    if constexpr (sizeof(void*) == 8)
        return true;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

bool IsVistaOrLater() {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = 6;
    version.dwMinorVersion = 0;
    version.wServicePackMajor = 0;
    ULONGLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

std::wstring BuildTerminationText(const std::wstring& detail) {
    constexpr size_t kBuffer = 160;  // including the terminator, as the message always was
    std::wstring text = L"ZIDezureziv terminated due to an exception";
    if (!detail.empty()) {
        text += L": ";
        text += detail;
    }
    if (text.size() > kBuffer - 1)
        text.resize(kBuffer - 1);
    return text;
}

// Relays a mouse message to the registered tool tips as a message of the child under the pointer,
// so that tips also show over disabled buttons.
static void RelayToToolTips(const MSG& msg) {
    HWND page = theApp.m_visiblePage;
    if (!page)
        return;
    for (const auto& entry : theApp.m_toolTips) {
        POINT point = msg.pt;
        ScreenToClient(page, &point);
        HWND child = RealChildWindowFromPoint(page, point);
        if (!child || child == page)
            continue;
        MSG copy = msg;
        copy.hwnd = child;
        POINT local = msg.pt;
        ScreenToClient(child, &local);
        copy.lParam = MAKELPARAM(local.x, local.y);
        SendMessageW(entry.first, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
    }
}

static void ToggleBasicUi() {
    theApp.m_basicUi = !theApp.m_basicUi;
    SetDlgItemTextW(theApp.m_mainWindow, IDC_UI_LEVEL, theApp.m_basicUi ? L"UI Level: Basic" : L"");
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            theApp.m_quit = true;
            theApp.m_exitCode = static_cast<int>(msg.wParam);
            return;
        }
        if (TranslateAcceleratorW(theApp.m_mainWindow, theApp.m_accelerators, &msg))
            continue;
        if (msg.message >= WM_MOUSEFIRST && msg.message <= 0x20D)
            RelayToToolTips(msg);
        else if (msg.message == WM_CHAR && msg.wParam == 2) {
            ToggleBasicUi();
            continue;
        }
        if (IsWindow(theApp.m_mainWindow) && IsDialogMessageW(theApp.m_mainWindow, &msg)) {
            RethrowCallbackException();
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        RethrowCallbackException();
    }
}

int RunInstallerProgram(HINSTANCE instance, const wchar_t* commandTail) {
    try {
        return RunStartup(instance, commandTail);
    } catch (const std::bad_alloc&) {
        return Terminate(L"Out of memory", 12);
    } catch (const std::exception& e) {
        std::wstring detail = FromAnsi(e.what());
        if (detail.size() > 79)
            detail.resize(79);
        return Terminate(detail, -1);
    }
}
