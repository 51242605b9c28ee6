// Names for screen readers of controls that no label in front of them names.
#pragma once

#include <windows.h>

namespace zid {

// Gives control the accessible name name (what a screen reader says for it); where the system's
// accessibility service cannot be had, the control keeps the name it has.
void SetAccessibleName(HWND control, const wchar_t* name);

}  // namespace zid
