// Answers a dialog of this process the way a user would: from another thread, while the code under
// test waits in the dialog's modal loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace zid {

class CDialogWatcher {
public:
    // Waits up to timeoutMs for a visible top-level window of this process with caption, then runs
    // action on it (on the watcher's thread).
    CDialogWatcher(std::wstring caption, std::function<void(HWND)> action, DWORD timeoutMs = 15000);
    ~CDialogWatcher();  // waits for the watcher to finish
    CDialogWatcher(const CDialogWatcher&) = delete;
    CDialogWatcher& operator=(const CDialogWatcher&) = delete;

    // Whether the window appeared (once the watcher finished).
    bool Seen();

private:
    std::atomic<bool> m_seen{false};
    std::thread m_thread;
};

// The visible top-level window of process (this one when 0) with the caption, or null.
HWND FindProcessWindow(const std::wstring& caption, DWORD processId = 0);

// Clicks a button of a dialog in any thread or process (radio buttons take the check, push buttons
// send their command), without waiting.
void PressButton(HWND dialog, int id);

// Types a file name into a standard open-file dialog (of any process) and confirms it.
void ChooseFile(HWND openDialog, const std::wstring& path);

}  // namespace zid
