#include "win/system_library.h"

#include <delayimp.h>

#include <cwchar>

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Present on Windows 8 and later and on Windows 7 with KB2533623; where it exists, LoadLibraryExW
// also understands the LOAD_LIBRARY_SEARCH_* flags.
SetDefaultDllDirectoriesFn FindSetDefaultDllDirectories() {
    return reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
}

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
    RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, arguments);
    return nullptr;
}

}  // namespace

// The delay-load helper's notification hook (delayimp.h): defined here, so that every delay-loaded
// DLL of the program goes through LoadSystemLibrary.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedLibrary;

void RestrictDllSearch() {
    if (SetDefaultDllDirectoriesFn setDefault = FindSetDefaultDllDirectories())
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    else
        SetDllDirectoryW(L"");
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
