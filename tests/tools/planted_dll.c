// Stands in for a DLL that someone planted next to the program. Loaded, it leaves the file
// "<its own path>.marker" (version.dll.marker). Its version.dll functions find nothing: a program that
// reads its version through them shows none.
#include <windows.h>

static HINSTANCE g_module;

static void LeaveMarker(const wchar_t* extension) {
    wchar_t path[MAX_PATH + 16];
    DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    wcscat(path, extension);
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        LeaveMarker(L".marker");
    }
    return TRUE;
}

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
    (void)file;
    if (handle)
        *handle = 0;
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD length, LPVOID data) {
    (void)file, (void)handle, (void)length, (void)data;
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR path, LPVOID* value, PUINT length) {
    (void)block, (void)path, (void)value, (void)length;
    return FALSE;
}
