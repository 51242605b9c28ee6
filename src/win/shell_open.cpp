#include "win/shell_open.h"

#include <windows.h>
#include <shellapi.h>

#include "win/handles.h"

namespace zid {

namespace {

// Hands a web address to the browser of a Wine system (on Windows the command does not exist).
// Started by its full path in the system folder: a "winebrowser.exe"
// planted in the program's or the current folder (often Downloads) never runs.
bool StartWineBrowser(const std::wstring& address) {
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

int OpenWithShell(const std::wstring& target, bool underWine) {
    const bool web = IsWebAddress(target);
    if (web && underWine && StartWineBrowser(target))
        return 0;
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32 ? 0 : static_cast<int>(result);
}

}  // namespace zid
