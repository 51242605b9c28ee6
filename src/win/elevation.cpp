#include "win/elevation.h"

#include <shellapi.h>

#include <vector>

namespace zid {

namespace {

constexpr DWORD kLongestPath = 32768;

}  // namespace

DWORD StartElevated(const std::wstring& parameters, zid::UniqueHandle& process) {
    // The file this process runs, not a name to look up: nothing else can be started in its place.
    std::vector<wchar_t> program(kLongestPath);
    const DWORD length = GetModuleFileNameW(nullptr, program.data(), kLongestPath);
    if (length == 0 || length >= kLongestPath)
        return length == 0 ? GetLastError() : static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program.data();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info))
        return GetLastError();
    if (!info.hProcess)
        return ERROR_INVALID_HANDLE;
    process.reset(info.hProcess);
    return ERROR_SUCCESS;
}

}  // namespace zid
