// Stands in for a DLL that someone planted next to the program: loaded, it leaves the file
// "<its own path>.marker" (version.dll.marker). It exports version.dll's functions that Wine's own
// user32 imports (finding nothing), since under Wine a planted version.dll serves user32.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)reserved;
    wchar_t path[MAX_PATH + 16];
    DWORD length = reason == DLL_PROCESS_ATTACH ? GetModuleFileNameW(module, path, MAX_PATH) : 0;
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    wcscat(path, L".marker");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    return TRUE;
}

__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
    (void)file, (void)handle;
    return 0;
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD length, LPVOID data) {
    (void)file, (void)handle, (void)length, (void)data;
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR path, LPVOID* value, PUINT length) {
    (void)block, (void)path, (void)value, (void)length;
    return FALSE;
}
