#include "win/platform.h"

#include <shellapi.h>

namespace zid {

PlatformFacts DetectPlatform(HINSTANCE instance) {
    PlatformFacts facts;
    facts.Instance = instance;
    facts.Wine = DetectWine();
    facts.Win64 = DetectWow64();
    facts.SmallIcons = FindSmallIconList();
    return facts;
}

bool DetectWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool DetectWow64() {
    // The one place where the 64-bit build of these sources (the test twin where only 64-bit Wine
    // runs) differs: a 64-bit process is on 64-bit Windows by definition.
    if constexpr (sizeof(void*) == 8)
        return true;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

HIMAGELIST FindSmallIconList() {
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(windows, FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                                                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES));
}

}  // namespace zid
