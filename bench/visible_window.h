// What the start-up benchmarks wait for: a window of the program they started.
#pragma once

#include <windows.h>

namespace bench {

struct VisibleWindowSearch {
    DWORD Process;
    HWND Found;
};

inline BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<VisibleWindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.Process || !IsWindowVisible(window))
        return TRUE;
    search.Found = window;
    return FALSE;
}

// The first visible top-level window of process, or null.
inline HWND FindVisibleWindow(DWORD process) {
    VisibleWindowSearch search{process, nullptr};
    EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

}  // namespace bench
