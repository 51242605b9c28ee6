#include "win/system_library.h"

#include <delayimp.h>

#include <cwchar>

namespace zid {

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Present on Windows 8 and later and on Windows 7 with KB2533623; where it exists, LoadLibraryExW
// also understands the LOAD_LIBRARY_SEARCH_* flags.
SetDefaultDllDirectoriesFn FindSetDefaultDllDirectories() {
    return reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
}

// DLLs that Windows' own code (common controls, themes, CryptoAPI, WinINet, Windows Installer, the
// security and shell code they use) loads by bare name while the program runs.
constexpr const wchar_t* kLoadedLaterByName[] = {
    L"uxtheme.dll",  L"dwmapi.dll",   L"cryptbase.dll", L"cryptsp.dll",  L"rsaenh.dll",   L"bcrypt.dll",
    L"ncrypt.dll",   L"ntmarta.dll",  L"profapi.dll",   L"propsys.dll",  L"sspicli.dll",  L"secur32.dll",
    L"userenv.dll",  L"version.dll",  L"wtsapi32.dll",  L"iertutil.dll", L"urlmon.dll",   L"winhttp.dll",
    L"dnsapi.dll",   L"iphlpapi.dll", L"mswsock.dll",   L"winnsi.dll",   L"rasapi32.dll", L"rasman.dll",
    L"rtutils.dll",  L"srvcli.dll",   L"netutils.dll",  L"wintrust.dll", L"msasn1.dll",   L"gpapi.dll",
    L"cryptnet.dll", L"schannel.dll", L"credui.dll",    L"msi.dll",      L"wininet.dll",  L"crypt32.dll",
};

bool HasSearchFlags() {
    static const bool has = FindSetDefaultDllDirectories() != nullptr;
    return has;
}

// The delay-load helper asks here before it loads a DLL by its bare name; a module from System32,
// or an exception in place of a search that would reach the program's folder. Nothing here may
// throw: it runs inside the helper.
FARPROC WINAPI LoadDelayedLibrary(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll)
        return nullptr;
    wchar_t name[MAX_PATH] = L"";
    for (size_t i = 0; info->szDll[i] && i + 1 < MAX_PATH; ++i)
        name[i] = static_cast<wchar_t>(static_cast<unsigned char>(info->szDll[i]));
    if (HMODULE module = LoadSystemLibrary(name))
        return reinterpret_cast<FARPROC>(module);
    const ULONG_PTR arguments[] = {reinterpret_cast<ULONG_PTR>(info)};
    // Not continuable: a handler that went on would have the helper search by the bare name.
    RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), EXCEPTION_NONCONTINUABLE, 1, arguments);
    return nullptr;
}

}  // namespace

void RestrictDllSearch() {
    // Both: SetDllDirectoryW(L"") takes the current folder out of every search that is not restricted
    // otherwise, also of LoadLibrary calls with flags of their own.
    if (SetDefaultDllDirectoriesFn setDefault = FindSetDefaultDllDirectories())
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
    if (HasSearchFlags())
        return;
    // Without the search flags (Windows 7 before KB2533623) Windows' own DLLs still look for the DLLs
    // they load by bare name in the program's folder first. Loaded from System32 now, they are found
    // by name later: a planted copy of these is never reached.
    for (const wchar_t* name : kLoadedLaterByName)
        LoadSystemLibrary(name);
}

HMODULE LoadSystemLibrary(const wchar_t* name, DWORD flags) {
    // The full path, not the bare name: a bare name would be answered with any module of that name
    // that is already loaded, wherever it came from.
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0)
        return nullptr;
    if (length >= MAX_PATH || wcscat_s(path, L"\\") != 0 || wcscat_s(path, name) != 0) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    // A DLL loaded to run gets its imports from System32 too; one loaded as data has none.
    const DWORD dataOnly =
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
    if (!(flags & dataOnly))
        flags |= HasSearchFlags() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExW(path, nullptr, flags);
}

}  // namespace zid

// The delay-load helper's notification hook (delayimp.h), a name of the helper's: defined here, so that
// every delay-loaded DLL of the program goes through LoadSystemLibrary.
PfnDliHook __pfnDliNotifyHook2 = zid::LoadDelayedLibrary;
