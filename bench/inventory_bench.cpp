// How close the This PC page comes to the registry's own cost on a machine with many installed
// programs: 5,000 Uninstall entries, 2,500 per registry view, 100 of them Velonar. Not a test.
//
// In one run, interleaved round by round (medians, so that other work on the machine evens out):
// - the minimal scan: enumerate both views' Uninstall keys and read each entry's DisplayName with
//   RegGetValueW, which is what any program listing installed software cannot do without;
// - one Refresh of the page: the same scan, the Velonar entries' other values, records and rows.
// With the program and the smallest dialog program given, also their start-ups, interleaved:
// - start-up overhead: process start to window visible, fastest of the launches, program minus dialog;
// - count shown: main window visible to the group box reading "Installed Velonar Packages (100)".
//
// Usage: inventory_bench [rounds [ZIDezureziv.exe smallest_dialog.exe [launches]]]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "operations/operation_context.h"
#include "operations/windows_installer.h"
#include "packages/inventory.h"
#include "resource.h"
#include "ui/thispc_page.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/platform.h"
#include "win/registry.h"
#include "win/settings.h"

#include "visible_window.h"

using namespace zid;

namespace {

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr int kEntries = 5000;
constexpr int kVelonarEvery = 50;  // 100 of 5,000, half of them in each view
constexpr int kVelonar = kEntries / kVelonarEvery;
constexpr wchar_t kCountShown[] = L"Installed Velonar Packages (100)";
constexpr DWORD kLaunchTimeout = 60000;  // milliseconds
constexpr DWORD kSettle = 1500;          // milliseconds after a program's exit
constexpr double kShownFactor = 1.25;    // the count may take this many minimal scans
constexpr double kShownAllowance = 50;   // and this many milliseconds more
// The program must not reach the real product website: a closed local port fails at once.
constexpr wchar_t kNoWebsite[] = L"http://127.0.0.1:9/";

std::wstring EntryName(int index) {
    wchar_t name[64];
    swprintf(name, 64, L"{BE0C4000-0000-0000-0000-%012d}", index);
    return name;
}

// A refresh asks and waits for nothing; an operation started by mistake would be answered Cancel.
class CSilentPrompt final : public IPrompt {
public:
    int Ask(const Question&) override { return IDCANCEL; }
    void Tell(const std::wstring&, UINT) override {}
    void Log(const std::wstring&) override {}
    void ClearLog() override {}
    int AskUninstallOptions(bool&) override { return IDCANCEL; }
    void ShowInstallerLog(const std::wstring&) override {}
};

class CPumpWaiter final : public IWaiter {
public:
    void WaitForWorker(HANDLE thread) override { m_pump.RunUntilSignalled(thread); }
    bool WaitUntil(const std::function<bool()>& done, DWORD slice) override { return m_pump.RunUntil(done, slice); }

private:
    CMessagePump m_pump;
};

// Pairs of entries alternate views, so that both views hold Velonar entries.
REGSAM ViewOf(int index) {
    return (index / 2) % 2 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

void Populate() {
    for (int i = 0; i < kEntries; ++i) {
        HKEY key = nullptr;
        const std::wstring path = std::wstring(kUninstall) + L"\\" + EntryName(i);
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | ViewOf(i), nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            continue;
        const bool velonar = i % kVelonarEvery == 0;
        wchar_t version[32];
        swprintf(version, 32, L"5.%d.%d", i % 90, i % 7);
        SetStringValue(key, L"DisplayName", velonar ? L"Velonar" : L"Another Program " + std::to_wstring(i));
        SetStringValue(key, L"DisplayVersion", version);
        SetDwordValue(key, L"Version", 0x05000000u | static_cast<DWORD>(i % 90) << 16 | static_cast<DWORD>(i % 7));
        SetStringValue(key, L"Publisher", L"Corrabel");
        SetStringValue(key, L"InstallDate", L"20260314");
        SetDwordValue(key, L"EstimatedSize", static_cast<DWORD>(i * 37));
        SetStringValue(key, L"InstallLocation", L"C:\\Program Files\\Corrabel\\Velonar\\");
        SetStringValue(key, L"UninstallString", L"MsiExec.exe /X" + EntryName(i));
        SetDwordValue(key, L"WindowsInstaller", 1);
        RegCloseKey(key);
    }
}

void Remove() {
    for (int i = 0; i < kEntries; ++i) {
        HKEY parent = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_ALL_ACCESS | ViewOf(i), &parent) != ERROR_SUCCESS)
            continue;
        RegDeleteTreeW(parent, EntryName(i).c_str());
        RegCloseKey(parent);
    }
}

// Enumerates one view's Uninstall key and reads each entry's DisplayName; returns the Velonar entries.
int MinimalScan(REGSAM view) {
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ | view, &uninstall) != ERROR_SUCCESS)
        return 0;
    int velonar = 0;
    for (DWORD index = 0;; ++index) {
        wchar_t name[260];
        DWORD length = 260;
        if (RegEnumKeyExW(uninstall, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        wchar_t displayName[256];
        DWORD size = sizeof(displayName);
        if (RegGetValueW(uninstall, name, L"DisplayName", RRF_RT_REG_SZ, nullptr, displayName, &size) != ERROR_SUCCESS)
            continue;
        const size_t product = std::size(kProductName) - 1;
        if (std::wcsncmp(displayName, kProductName, product) == 0 &&
            (displayName[product] == L'\0' || displayName[product] == L' '))
            ++velonar;
    }
    RegCloseKey(uninstall);
    return velonar;
}

double Now() {
    LARGE_INTEGER frequency{}, counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds of the minimal scan of both views.
double TimeMinimalScan() {
    const double start = Now();
    MinimalScan(KEY_WOW64_32KEY);
    MinimalScan(KEY_WOW64_64KEY);
    return Now() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Fastest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

// The machine the figures belong to, printed with them.
void PrintMachine() {
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    using WineVersionFn = const char*(__cdecl*)();
    auto wineVersion = reinterpret_cast<WineVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    std::printf("Machine: %lu processors, %s, %s build\n", system.dwNumberOfProcessors,
                wineVersion ? (std::string("Wine ") + wineVersion()).c_str() : "Windows",
                sizeof(void*) == 4 ? "i686" : "x86_64");
}

// Rounds of the minimal scan and the page's Refresh, each round in the other order than the last.
void CompareScans(CThisPcPage& page, int rounds) {
    // Once before the rounds: the first of each loads code and fills caches that later ones find.
    MinimalScan(KEY_WOW64_32KEY);
    MinimalScan(KEY_WOW64_64KEY);
    page.Refresh();
    std::vector<double> minimal, refresh;
    for (int round = 0; round < rounds; ++round) {
        int found = 0;
        const auto scan = [&] {
            const double start = Now();
            found = MinimalScan(KEY_WOW64_32KEY) + MinimalScan(KEY_WOW64_64KEY);
            minimal.push_back(Now() - start);
        };
        const auto fill = [&] {
            const double start = Now();
            page.Refresh();
            refresh.push_back(Now() - start);
        };
        if (round % 2) {
            fill();
            scan();
        } else {
            scan();
            fill();
        }
        std::printf("round %2d: minimal scan %7.1f ms (%d Velonar), Refresh %7.1f ms (%zu records, %d rows)\n",
                    round + 1, minimal.back(), found, refresh.back(), page.Records().size(),
                    static_cast<int>(SendMessageW(page.List(), LVM_GETITEMCOUNT, 0, 0)));
    }
    const double scan = Median(minimal);
    const double fill = Median(refresh);
    std::printf("Minimal scan (both views, %d entries): median %.1f ms\n", kEntries, scan);
    std::printf("Refresh of the This PC page:          median %.1f ms\n", fill);
    std::printf("Refresh / minimal scan: %.2f (target <= 1.25)\n", fill / scan);
}

struct ControlSearch {
    int Id;
    HWND Found;
};

BOOL CALLBACK MatchControl(HWND child, LPARAM context) {
    auto& search = *reinterpret_cast<ControlSearch*>(context);
    if (GetDlgCtrlID(child) != search.Id)
        return TRUE;
    search.Found = child;
    return FALSE;
}

HWND FindDescendant(HWND parent, int id) {
    ControlSearch search{id, nullptr};
    EnumChildWindows(parent, MatchControl, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// Polls every millisecond until ready() or the timeout; the time it became ready, or a negative number.
double WaitUntil(const std::function<bool()>& ready) {
    const double deadline = Now() + kLaunchTimeout;
    while (Now() < deadline) {
        if (ready())
            return Now();
        Sleep(1);
    }
    return -1;
}

struct Launch {
    double Visible = -1;  // process start to window visible, milliseconds
    double Shown = -1;    // window visible to the count shown (the program only)
};

// Starts program, times its window (and the count, when countGroup), then closes it with Cancel.
Launch TimeLaunch(const std::wstring& program, bool countGroup) {
    Launch launch;
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const double start = Now();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::printf("cannot start %ls: error %lu\n", program.c_str(), GetLastError());
        return launch;
    }
    zid::UniqueHandle thread(process.hThread);
    zid::UniqueHandle child(process.hProcess);
    HWND window = nullptr;
    const double visible = WaitUntil([&] { return (window = bench::FindVisibleWindow(process.dwProcessId)); });
    if (visible >= 0)
        launch.Visible = visible - start;
    if (visible >= 0 && countGroup) {
        HWND group = nullptr;
        const double shown = WaitUntil([&] {
            if (!group)
                group = FindDescendant(window, IDC_INSTALLED_GROUP);
            wchar_t text[64] = L"";
            // Another process's window: the system hands out its text without asking the busy program.
            return group && GetWindowTextW(group, text, 64) && std::wcscmp(text, kCountShown) == 0;
        });
        if (shown >= 0)
            launch.Shown = shown - visible;
    }
    if (window)
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(child.get(), kLaunchTimeout) != WAIT_OBJECT_0)
        TerminateProcess(child.get(), 1);
    return launch;
}

// Each pair of launches is followed by a minimal scan, the reference for the time to the count, once
// the system has settled after the exits (closing windows keeps Wine's desktop process busy a while).
void CompareStartups(const std::wstring& program, const std::wstring& dialog, int launches) {
    SetEnvironmentVariableW(L"ZIDEZUREZIV_WEBSITE", kNoWebsite);
    // The first start of each loads what later ones find cached; it is not counted.
    TimeLaunch(dialog, false);
    TimeLaunch(program, true);
    std::vector<double> dialogVisible, programVisible, shown, minimal;
    for (int i = 0; i < launches; ++i) {
        const Launch reference = TimeLaunch(dialog, false);
        const Launch ours = TimeLaunch(program, true);
        Sleep(kSettle);
        const double scan = TimeMinimalScan();
        std::printf(
            "launch %2d: window visible: smallest dialog %6.1f ms, program %6.1f ms; count %6.1f ms later; "
            "minimal scan %6.1f ms\n",
            i + 1, reference.Visible, ours.Visible, ours.Shown, scan);
        if (reference.Visible < 0 || ours.Visible < 0 || ours.Shown < 0)
            continue;
        minimal.push_back(scan);
        dialogVisible.push_back(reference.Visible);
        programVisible.push_back(ours.Visible);
        shown.push_back(ours.Shown);
    }
    if (shown.empty()) {
        std::printf("Start-up: no launch showed its window and count\n");
        return;
    }
    std::printf(
        "Start-up overhead over the smallest dialog program (fastest of %zu): %.1f - %.1f = %.1f ms "
        "(target <= 150)\n",
        shown.size(), Fastest(programVisible), Fastest(dialogVisible),
        Fastest(programVisible) - Fastest(dialogVisible));
    // Each count against the scan taken next to it: what the machine was doing then weighs on both.
    std::vector<double> ratios;
    for (size_t i = 0; i < shown.size(); ++i)
        ratios.push_back(shown[i] / (kShownFactor * minimal[i] + kShownAllowance));
    std::printf("Window visible to count shown: median %.1f ms; minimal scan after each launch: median %.1f ms\n",
                Median(shown), Median(minimal));
    std::printf("Count shown / (1.25 x minimal scan + 50 ms), launch by launch: median %.2f (target <= 1.00)\n",
                Median(ratios));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 7;
    const int launches = argc > 4 ? std::max(1, _wtoi(argv[4])) : 7;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const PlatformFacts platform = DetectPlatform(GetModuleHandleW(nullptr));
    PrintMachine();

    Populate();
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    CSilentPrompt prompt;
    CPumpWaiter waiter;
    CMsiInstaller installer;
    const OperationOptions options;
    CSettingsStore settings;
    const OperationContext context{prompt, waiter, installer, options, settings, platform};
    CThisPcPage page;
    page.Create(parent, context);
    SetWindowPos(page.Window(), nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    // The page is seen, as in the program: a hidden list would skip the painting a refresh causes.
    ShowWindow(parent, SW_SHOWNOACTIVATE);
    ShowWindow(page.Window(), SW_SHOWNOACTIVATE);
    CompareScans(page, rounds);
    DestroyWindow(parent);

    if (argc > 3)
        CompareStartups(argv[2], argv[3], launches);
    Remove();
    return 0;
}
