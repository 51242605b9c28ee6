// Why an operation failed, in plain words: lines after the result line, and a summary file beside
// the installer log that support can be sent with it.
#pragma once

#include <windows.h>

#include <string>

#include "operations/operation.h"
#include "operations/prompt.h"

namespace zid {

// For a result that is not plain success: writes what the installer log (or, without one, the code
// alone) says into the log pane (through prompt) and the summary file next to the log; operation names it there
// ("Install 5.46 (64 bit)"). A log that cannot be read or diagnosed adds nothing.
void ReportOutcome(const OperationRequest& request, const std::wstring& operation, DWORD result, IPrompt& prompt);

}  // namespace zid
