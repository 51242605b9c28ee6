// Plain-words lines for the user on why an installer operation ended as it did (standard C++ only).
#pragma once

#include <string>
#include <vector>

#include "log/log_findings.h"

namespace zid {

// Results that are not failures: success, and success that needs a restart (3010) or started one (1641).
inline constexpr int kResultSuccess = 0;
inline constexpr int kResultRestartNeeded = 3010;
inline constexpr int kResultRestartStarted = 1641;

// False for 0, 3010 and 1641; true for every other result.
bool IsFailedResult(int result);

// What the result code alone means, for when there is no log: one line; none for 0 or a code not known here.
std::vector<std::wstring> ExplainResult(int result);

// As ExplainResult, with the failing action named for 1603 and 1627; after a result line that does not say why
// (1602, 1603, 1627, unknown), a line for the first logged code known here (1722 naming its custom action).
std::vector<std::wstring> ExplainFindings(int result, const LogFindings& findings);

}  // namespace zid
