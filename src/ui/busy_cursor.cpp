#include "ui/busy_cursor.h"

namespace zid {

CWaitCursor::CWaitCursor() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}

CWaitCursor::~CWaitCursor() {
    SetCursor(m_previous);
}

bool SetWorkingCursor() {
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    return true;
}

}  // namespace zid
