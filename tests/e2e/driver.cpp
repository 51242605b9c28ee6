#include "e2e/driver.h"

#include "support/test_util.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

struct WindowSearch {
    DWORD processId;
    const std::wstring* caption;  // null: any message box
    HWND found;
};

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.processId || !IsWindowVisible(window) || ClassOf(window) != L"#32770")
        return TRUE;
    const bool isBox = GetDlgItem(window, kMessageBoxTextId) != nullptr;
    if (search.caption ? (!isBox && TextOf(window) == *search.caption) : isBox) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOf(DWORD pid, const std::wstring* caption) {
    WindowSearch search{pid, caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

std::wstring ProgramPath() {
    return WinePath(ZID_EXE_PATH);
}

CProgram::CProgram(const std::wstring& tail) {
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    if (!tail.empty())
        commandLine += L" " + tail;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &m_process))
        m_process = {};
    else
        WaitForInputIdle(m_process.hProcess, 10000);
}

CProgram::~CProgram() {
    if (!m_process.hProcess)
        return;
    if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.hProcess, 255);
        WaitForSingleObject(m_process.hProcess, 5000);
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
}

HWND CProgram::WaitForDialog(const std::wstring& caption, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowOf(m_process.dwProcessId, &caption)) != nullptr; }, timeoutMs);
    return found;
}

HWND CProgram::FindMessageBox() const {
    return FindWindowOf(m_process.dwProcessId, nullptr);
}

DWORD CProgram::WaitForExit(DWORD timeoutMs) const {
    if (WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

std::wstring MessageBoxText(HWND box) {
    return TextOf(GetDlgItem(box, kMessageBoxTextId));
}

std::wstring ControlText(HWND dialog, int id) {
    return TextOf(GetDlgItem(dialog, id));
}

std::vector<std::wstring> TabTexts(HANDLE process, HWND tab) {
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    constexpr size_t kChars = 128;
    struct Remote {
        TCITEMW item;
        wchar_t text[kChars];
    };
    auto* remote = static_cast<Remote*>(
        VirtualAllocEx(process, nullptr, sizeof(Remote), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote)
        return texts;
    for (int i = 0; i < count; ++i) {
        Remote local{};
        local.item.mask = TCIF_TEXT;
        local.item.pszText = remote->text;
        local.item.cchTextMax = kChars;
        WriteProcessMemory(process, remote, &local, sizeof(local), nullptr);
        SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&remote->item));
        ReadProcessMemory(process, remote, &local, sizeof(local), nullptr);
        local.text[kChars - 1] = L'\0';
        texts.emplace_back(local.text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return texts;
}

void ClickButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

namespace {

struct PageSearch {
    int Id;
    HWND Found;
};

BOOL CALLBACK MatchPage(HWND child, LPARAM param) {
    auto& search = *reinterpret_cast<PageSearch*>(param);
    if (ClassOf(child) != L"#32770" || !GetDlgItem(child, search.Id))
        return TRUE;
    search.Found = child;
    return FALSE;
}

}  // namespace

HWND FindPage(HWND main, int id) {
    PageSearch search{id, nullptr};
    EnumChildWindows(main, MatchPage, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

void SelectListRow(HANDLE process, HWND list, int row) {
    auto* remote = static_cast<LVITEMW*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote)
        return;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    WriteProcessMemory(process, remote, &item, sizeof(item), nullptr);
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote));
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
}
