#include "win/elevation.h"

#include <shellapi.h>

#include "win/module_info.h"

namespace zid {

DWORD StartElevated(const std::wstring& parameters, zid::UniqueHandle& process) {
    // The file this process runs, not a name to look up: nothing else can be started in its place.
    const std::wstring program = GetModulePath();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info))
        return GetLastError();
    if (!info.hProcess)
        return ERROR_INVALID_HANDLE;
    process.reset(info.hProcess);
    return ERROR_SUCCESS;
}

bool IsElevated() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return false;
    UniqueHandle token(opened);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

}  // namespace zid
