// Running this program again with administrator rights for one step.
#pragma once

#include <windows.h>

#include <string>

#include "win/handles.h"

namespace zid {

// Starts this program's own file elevated ("runas") with parameters; process is the started one.
// 0 or the Win32 error: ERROR_CANCELLED when the user refused the rights.
DWORD StartElevated(const std::wstring& parameters, zid::UniqueHandle& process);

// True when this process runs with administrator rights (an elevated token).
bool IsElevated();

}  // namespace zid
