#include "e2e/driver.h"

#include "support/test_util.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "resource.h"

namespace zid {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

struct WindowSearch {
    DWORD processId;
    const std::wstring* caption;  // null: any message box
    HWND found;
};

// WM_GETTEXT itself: GetWindowText does not ask a control of another process for its text.
std::wstring TextOf(HWND window) {
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
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

CProgram::CProgram(const std::wstring& tail, const std::wstring& program, HANDLE output) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!tail.empty())
        commandLine += L" " + tail;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = output ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = output;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                        &m_process))
        m_process = {};
    else if (!output)
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
    return FindMessageBoxOf(m_process.dwProcessId);
}

HWND FindMessageBoxOf(DWORD processId) {
    return FindWindowOf(processId, nullptr);
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

// A copy of T in another process's memory, for messages whose parameter points at a record.
template <typename T>
class CRemote {
public:
    CRemote(HANDLE process, const T& value)
        : m_process(process),
          m_remote(VirtualAllocEx(process, nullptr, sizeof(T), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
        if (m_remote)
            WriteProcessMemory(process, m_remote, &value, sizeof(T), nullptr);
    }
    ~CRemote() {
        if (m_remote)
            VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
    }
    CRemote(const CRemote&) = delete;
    CRemote& operator=(const CRemote&) = delete;

    T* get() const { return static_cast<T*>(m_remote); }
    LPARAM param() const { return reinterpret_cast<LPARAM>(m_remote); }
    T Read() const {
        T value{};
        if (m_remote)
            ReadProcessMemory(m_process, m_remote, &value, sizeof(T), nullptr);
        return value;
    }

private:
    HANDLE m_process;
    void* m_remote;
};

constexpr size_t kRemoteChars = 260;

template <typename Item>
struct RemoteItem {
    Item item;
    wchar_t text[kRemoteChars];
};

// The texts of count items of a control in another process: prepare fills the item record's
// other members, get (TCM_GETITEMW, LVM_GETITEMTEXTW, ...) fills its text.
template <typename Item, typename Prepare>
std::vector<std::wstring> RemoteTexts(HANDLE process, HWND control, int count, UINT get, Prepare prepare) {
    std::vector<std::wstring> texts;
    CRemote<RemoteItem<Item>> remote(process, {});
    for (int i = 0; i < count; ++i) {
        RemoteItem<Item> local{};
        prepare(local.item);
        local.item.pszText = remote.get()->text;
        local.item.cchTextMax = kRemoteChars;
        WriteProcessMemory(process, remote.get(), &local, sizeof(local), nullptr);
        SendMessageW(control, get, i, remote.param());
        local = remote.Read();
        local.text[kRemoteChars - 1] = L'\0';
        texts.emplace_back(local.text);
    }
    return texts;
}

std::vector<std::wstring> TabTexts(HANDLE process, HWND tab) {
    const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    return RemoteTexts<TCITEMW>(process, tab, count, TCM_GETITEMW, [](TCITEMW& item) { item.mask = TCIF_TEXT; });
}

std::vector<std::wstring> ListColumnTexts(HANDLE process, HWND list, int column) {
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    return RemoteTexts<LVITEMW>(process, list, count, LVM_GETITEMTEXTW,
                                [column](LVITEMW& item) { item.iSubItem = column; });
}

std::vector<std::wstring> ListHeadings(HANDLE process, HWND list) {
    const int count = Header_GetItemCount(ListView_GetHeader(list));
    return RemoteTexts<LVCOLUMNW>(process, list, count, LVM_GETCOLUMNW,
                                  [](LVCOLUMNW& column) { column.mask = LVCF_TEXT; });
}

int ListStringWidth(HANDLE process, HWND list, const std::wstring& text) {
    RemoteItem<int> buffer{};
    wcsncpy(buffer.text, text.c_str(), kRemoteChars - 1);
    CRemote<RemoteItem<int>> remote(process, buffer);
    return static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(remote.get()->text)));
}

void SelectListRow(HANDLE process, HWND list, int row) {
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    CRemote<LVITEMW> none(process, clear);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), none.param());
    LVITEMW select = clear;
    select.state = LVIS_SELECTED | LVIS_FOCUSED;
    CRemote<LVITEMW> one(process, select);
    SendMessageW(list, LVM_SETITEMSTATE, row, one.param());
}

void DoubleClickListRow(HANDLE process, HWND list, int row) {
    RECT bounds{};
    bounds.left = LVIR_LABEL;
    CRemote<RECT> remote(process, bounds);
    SendMessageW(list, LVM_GETITEMRECT, row, remote.param());
    bounds = remote.Read();
    const LPARAM at = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
}

void SelectTab(HANDLE process, HWND main, int index) {
    // A click on the tab: WM_NOTIFY itself cannot be sent to another process.
    HWND tab = GetDlgItem(main, IDC_TAB);
    CRemote<RECT> remote(process, RECT{});
    SendMessageW(tab, TCM_GETITEMRECT, index, remote.param());
    const RECT item = remote.Read();
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(tab, WM_LBUTTONUP, 0, at);
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

}  // namespace zid
