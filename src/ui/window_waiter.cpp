#include "ui/window_waiter.h"

#include "ui/busy_cursor.h"
#include "win/handles.h"

namespace zid {

void CWindowWaiter::WaitForWorker(HANDLE thread) {
    CWaitCursor busy;
    HWND main = m_main.Window();
    EnableWindow(main, FALSE);
    scope_exit enable([main] { EnableWindow(main, TRUE); });
    m_pump.RunUntilSignalled(thread);
    enable.release();
    EnableWindow(main, TRUE);
    SetForegroundWindow(main);
}

bool CWindowWaiter::WaitUntil(const std::function<bool()>& done, DWORD slice) {
    HWND main = m_main.Window();
    const bool wasEnabled = !EnableWindow(main, FALSE);
    scope_exit enable([main, wasEnabled] { EnableWindow(main, wasEnabled); });
    return m_pump.RunUntil(done, slice);
}

}  // namespace zid
