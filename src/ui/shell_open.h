// Opening files and web addresses for the user, who is told when that fails.
#pragma once

#include <string>

#include "operations/prompt.h"

namespace zid {

// Opens target with its associated program (OpenWithShell); a failure is told as
// "<target>: Error code = <code>" with the warning icon.
void ShellOpen(IPrompt& prompt, const std::wstring& target, bool underWine);

}  // namespace zid
