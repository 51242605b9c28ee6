// Stands in for a browser or a file's associated program in the tests: appends its own command
// line, one UTF-8 line per start, to the file named by ZID_RECORD_FILE, and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"ZID_RECORD_FILE", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;
    std::wstring commandLine = GetCommandLineW();
    // Asked for: the folder it was started in, after the command line.
    if (GetEnvironmentVariableW(L"ZID_RECORD_CURRENT_FOLDER", nullptr, 0) > 0) {
        wchar_t current[MAX_PATH] = L"";
        GetCurrentDirectoryW(MAX_PATH, current);
        commandLine += std::wstring(L" (in ") + current + L")";
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, commandLine.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return 3;
    std::string line(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, commandLine.c_str(), -1, line.data(), size, nullptr, nullptr);
    line.back() = '\n';
    // Several recorders may run at once: retry while another one has the file open.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file =
            CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
            return ok ? 0 : 4;
        }
        Sleep(20);
    }
    return 5;
}
