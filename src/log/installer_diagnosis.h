// Why an installer operation failed, read from its log file, and the summary file that goes next to the log.
// Standard C++ only: the operation runner calls it on the UI thread once the worker has ended.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "log/result_explanations.h"

namespace zid {

// What one operation's log file and result code tell the user.
struct InstallerDiagnosis {
    int Result = 0;
    std::wstring FailedAction;        // the installer step that failed; empty when the log names none
    std::wstring CustomAction;        // the custom action a 1722 error names; empty without one
    std::vector<int> LoggedCodes;     // message numbers the log shows where it failed (at most kMaxLoggedCodes)
    std::vector<std::wstring> Lines;  // one or two plain-words lines; none for 0 or an unknown code and log
};

// The diagnosis of a log file's whole content (any encoding, or none readable) for the operation's result.
// Results 0, 3010 and 1641 are not failures: the log is not read for them.
InstallerDiagnosis DiagnoseInstallerLog(std::string_view fileBytes, int result);

// The summary file's content as UTF-8 with a byte-order mark and CR LF line ends: operation, result, the
// diagnosis' lines, the failing action and codes when known, and the log's file name (without its folder).
std::string FormatDiagnosisSummary(const std::wstring& operation, const InstallerDiagnosis& diagnosis,
                                   const std::wstring& logPath);

// The summary file's path beside the log: "VNI-....txt" becomes "VNI-....summary.txt".
std::wstring SummaryPathFor(const std::wstring& logPath);

}  // namespace zid
