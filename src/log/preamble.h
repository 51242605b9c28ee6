// The diagnostic report at the top of every installer log file.
#pragma once

#include <optional>
#include <string>

// Writes the first line and the machine report into logPath, with the package's block when one is
// given; nothing when logPath is empty or under Wine.
void WriteDiagnosticPreamble(const std::wstring& logPath, const std::optional<std::wstring>& packagePath);
