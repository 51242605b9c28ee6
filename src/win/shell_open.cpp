#include "win/shell_open.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "win/errors.h"
#include "win/handles.h"
#include "win/platform.h"

namespace {

// Hands a web address to the browser of a Wine system. Only tried under Wine: on Windows the
// command does not exist. Started by its full path in the system folder: a "winebrowser.exe"
// planted in the program's or the current folder (often Downloads) never runs.
bool StartWineBrowser(const std::wstring& address) {
    if (!Platform().Wine)
        return false;
    wchar_t folder[MAX_PATH] = L"";
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    const std::wstring program = std::wstring(folder, length) + L"\\winebrowser.exe";
    // One argument, whatever the address holds: a quote in it is its percent-encoding.
    std::wstring argument;
    for (wchar_t c : address)
        argument += c == L'"' ? std::wstring(L"%22") : std::wstring(1, c);
    std::wstring command = L"\"" + program + L"\" \"" + argument + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    zid::UniqueHandle thread(process.hThread);
    zid::UniqueHandle child(process.hProcess);
    return true;
}

}  // namespace

bool IsWebAddress(const std::wstring& target) {
    return target.compare(0, 7, L"http://") == 0 || target.compare(0, 8, L"https://") == 0;
}

void ShellOpen(const std::wstring& target) {
    const bool web = IsWebAddress(target);
    if (web && StartWineBrowser(target))
        return;
    auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    // Before Vista the shell answered 2 for an address it had handed to the browser.
    if (web && result == ERROR_FILE_NOT_FOUND && !IsVistaOrLater())
        return;
    if (result > 32)
        return;
    wchar_t detail[64];
    swprintf(detail, 64, L"Error code = %d", static_cast<int>(result));
    ShowMessage(target, detail, MB_ICONWARNING);
}
