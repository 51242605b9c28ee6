// Drives the real ZIDezureziv.exe from another process: starts it, finds its windows,
// reads their texts, presses their buttons and collects its exit code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/dialog_watcher.h"

namespace zid {

// The program's path in Windows form (the build folder seen through Wine's Z: drive).
std::wstring ProgramPath();

class CProgram {
public:
    // Starts the program (the build's, or a copy of it) with the given command-line tail (may be empty);
    // with output (an inheritable handle), that is its standard output and nothing waits for its window.
    explicit CProgram(const std::wstring& tail, const std::wstring& program = ProgramPath(), HANDLE output = nullptr);
    ~CProgram();  // kills the program if it is still running
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }

    // The first visible top-level dialog of the program with this caption, or null after timeout.
    HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs = 15000) const;

    // A visible top-level window of the program that is a message box (has the 0xFFFF text), or null.
    HWND FindMessageBox() const;

    // Waits for the process to end; returns its exit code, or STILL_ACTIVE after the timeout.
    DWORD WaitForExit(DWORD timeoutMs = 15000) const;

    DWORD ProcessId() const { return m_process.dwProcessId; }
    HANDLE Process() const { return m_process.hProcess; }

private:
    PROCESS_INFORMATION m_process{};
};

// A visible message box of the process, or null.
HWND FindMessageBoxOf(DWORD processId);

// Selects a tab of the main window in another process, as a click on it does.
void SelectTab(HANDLE process, HWND main, int index);

// The static text of a message box.
std::wstring MessageBoxText(HWND box);

// Window text of a child control.
std::wstring ControlText(HWND dialog, int id);

// Texts of the tabs of a tab control in another process.
std::vector<std::wstring> TabTexts(HANDLE process, HWND tab);

// Clicks a button by sending its command to the dialog, as a click would.
void ClickButton(HWND dialog, int id);

// The texts of one column of a list view in another process, top to bottom.
std::vector<std::wstring> ListColumnTexts(HANDLE process, HWND list, int column);

// The headings of a list view in another process, left to right.
std::vector<std::wstring> ListHeadings(HANDLE process, HWND list);

// The width of text in the font of a list view in another process.
int ListStringWidth(HANDLE process, HWND list, const std::wstring& text);

// Selects one row of a list view in another process (and only that row).
void SelectListRow(HANDLE process, HWND list, int row);

// Double-clicks one row of a list view in another process with the mouse messages a user's
// double click sends.
void DoubleClickListRow(HANDLE process, HWND list, int row);

// The page of the main window that holds control id, or null.
HWND FindPage(HWND main, int id);

// Whether a file or folder of that path exists.
inline bool FileExists(const std::wstring& path) {
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Waits until predicate is true or the timeout passes, dispatching own messages meanwhile.
template <typename Predicate>
bool WaitUntil(Predicate predicate, DWORD timeoutMs = 15000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!predicate()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(50);
    }
    return true;
}

}  // namespace zid
