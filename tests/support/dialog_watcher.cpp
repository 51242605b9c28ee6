#include "support/dialog_watcher.h"

namespace zid {

namespace {

struct Search {
    const std::wstring* Caption;
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.ProcessId || !IsWindowVisible(window))
        return TRUE;
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    if (*search.Caption != text)
        return TRUE;
    search.Found = window;
    return FALSE;
}

}  // namespace

HWND FindProcessWindow(const std::wstring& caption, DWORD processId) {
    Search search{&caption, processId ? processId : GetCurrentProcessId(), nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

void PressButton(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

CDialogWatcher::CDialogWatcher(std::wstring caption, std::function<void(HWND)> action, DWORD timeoutMs)
    : m_thread([this, caption = std::move(caption), action = std::move(action), timeoutMs] {
          const ULONGLONG end = GetTickCount64() + timeoutMs;
          while (GetTickCount64() < end) {
              if (HWND window = FindProcessWindow(caption)) {
                  m_seen = true;
                  action(window);
                  return;
              }
              Sleep(20);
          }
      }) {}

CDialogWatcher::~CDialogWatcher() {
    if (m_thread.joinable())
        m_thread.join();
}

bool CDialogWatcher::Seen() {
    if (m_thread.joinable())
        m_thread.join();
    return m_seen;
}

void ChooseFile(HWND openDialog, const std::wstring& path) {
    // The old-style dialog has the edit edt1; the Explorer-style one an edit inside the combo box cmb13.
    constexpr int kOldStyleEdit = 1152;
    constexpr int kExplorerCombo = 1148;
    HWND edit = GetDlgItem(openDialog, kOldStyleEdit);
    if (!edit) {
        HWND combo = GetDlgItem(openDialog, kExplorerCombo);
        edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
        for (HWND inner = FindWindowExW(combo, nullptr, nullptr, nullptr); !edit && inner;
             inner = FindWindowExW(combo, inner, nullptr, nullptr))
            edit = FindWindowExW(inner, nullptr, L"Edit", nullptr);
    }
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(openDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(openDialog, IDOK)));
}

}  // namespace zid
