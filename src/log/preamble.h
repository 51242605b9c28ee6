// The diagnostic report at the top of every installer log file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace zid {

// Writes the first line and the machine report through logFile, the new log file as created and
// still held (never reopened by name, so nothing put in its place meanwhile is written to), with the
// package's block when one is given; nothing when there is no file or underWine. Stops at the first
// line that cannot be written: 0 or that line's Win32 error.
DWORD WriteDiagnosticPreamble(HANDLE logFile, const std::optional<std::wstring>& packagePath, bool underWine);

}  // namespace zid
