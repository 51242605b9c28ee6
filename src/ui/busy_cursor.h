// The busy cursor of the program's windows.
#pragma once

#include <windows.h>

namespace zid {

// The hourglass while this thread works without answering the mouse (a refresh, a start-up step):
// shown from construction, the cursor it replaced back at destruction, so nested ones unwind in order.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

// For WM_SETCURSOR of a window whose work goes on in the background (a page that loads): the arrow
// with the hourglass; true, as the message's answer that the cursor is set.
bool SetWorkingCursor();

}  // namespace zid
