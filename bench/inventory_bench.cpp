// How long one Refresh of the This PC page takes on a machine with many installed programs:
// 5,000 Uninstall entries, 100 of them Velonar, in both registry views. Not a test.
// Usage: inventory_bench [rounds]   (prints each round and the median, in milliseconds)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "resource.h"
#include "thispc/thispc_page.h"
#include "win/platform.h"
#include "win/registry.h"

namespace {

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr int kEntries = 5000;
constexpr int kVelonarEvery = 50;  // 100 of 5,000

std::wstring EntryName(int index) {
    wchar_t name[64];
    swprintf(name, 64, L"{BE0C4000-0000-0000-0000-%012d}", index);
    return name;
}

REGSAM ViewOf(int index) {
    return index % 2 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
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
        SetStringValue(key, L"InstallDate", L"20260314");
        SetDwordValue(key, L"EstimatedSize", static_cast<DWORD>(i * 37));
        SetStringValue(key, L"InstallLocation", L"C:\\Program Files\\Corrabel\\Velonar\\");
        SetStringValue(key, L"UninstallString", L"MsiExec.exe /X" + EntryName(i));
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Platform().Win64 = DetectWow64();
    Platform().Wine = DetectWine();

    Populate();
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(IDD_THISPC), RT_DIALOG);
    const auto* pageTemplate = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, resource)));
    CThisPcPage page;
    page.Create(parent, pageTemplate, RECT{0, 0, 600, 400});

    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        LARGE_INTEGER frequency{}, start{}, end{};
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        page.Refresh();
        QueryPerformanceCounter(&end);
        times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
        std::printf("round %d: %.1f ms, %zu packages, %d rows\n", round + 1, times.back(), page.Records().size(),
                    static_cast<int>(SendMessageW(page.List(), LVM_GETITEMCOUNT, 0, 0)));
    }
    std::sort(times.begin(), times.end());
    std::printf("Refresh of %d entries (%d Velonar, both views): median %.1f ms\n", kEntries, kEntries / kVelonarEvery,
                times[times.size() / 2]);
    DestroyWindow(parent);
    Remove();
    return 0;
}
