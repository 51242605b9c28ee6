// The program's identity, as every layer may need it.
#pragma once

#include <windows.h>

namespace zid {

// The program's name: every message box caption, the internet agent, the settings key.
inline constexpr wchar_t kProgramName[] = L"ZIDezureziv";

}  // namespace zid
