// What an installer log tells about a failure, read from the log's structure (standard C++ only).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zid {

// The action, codes and custom action an installer log names for the failure it records.
struct LogFindings {
    std::string FailedAction;  // empty when the log records no failing action
    std::vector<int> Codes;    // of "Error NNNN" and "error code is NNNN", then of "Note: 1: NNNN"; each once
    std::string CustomAction;  // the custom action a 1722 error names; empty without one
};

// Most codes the findings keep: the first few are the cause, later ones its consequences.
inline constexpr std::size_t kMaxLoggedCodes = 4;

// The findings of one-byte log text. The failing action is the last action started before the first
// "Action ended" line carrying the value with which the outermost action ended in failure (Windows: 3 on
// the action or on InstallFinalize for a deferred one; Wine: 0, followed by its rollback), or that line's
// own action when the one started last had already ended. Codes and the custom action come from the part
// of the log from that start to that end, or from the whole log when no failure is recorded.
LogFindings FindInstallerFailure(std::string_view text);

}  // namespace zid
