// The installer operation runner: one Windows Installer operation on a worker thread while the
// program waits for it, then its result line and its log.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "operations/operation.h"
#include "operations/operation_context.h"

namespace zid {

// Runs request (its LogPath is set here): checks what would make it fail, log file, diagnostic
// report, the worker, the result line and why it failed, the installer log shown. Returns Windows
// Installer's result, the failure code of the thread start, or nothing when the user chose Cancel
// at a check (the worker never started). Returns, or throws what a message handler threw while it
// waited, only once the worker has ended.
std::optional<DWORD> RunOperation(OperationRequest& request, const OperationContext& context);

// The worker's Windows Installer calls for request at the given basic UI mode, or at the interface
// level unattended when it is not INSTALLUILEVEL_NOCHANGE; their result (1 for an unknown command).
UINT OperationWorker(const OperationRequest& request, bool basicUi, IWindowsInstaller& installer,
                     INSTALLUILEVEL unattended = INSTALLUILEVEL_NOCHANGE);

// "Install 5.45.3 (64 bit)", "Repair", or "" for an unknown command: what the operation is called.
std::wstring OperationTitle(const OperationRequest& request);

// Tells of a worker thread that did not start ("_beginthreadex" with the C runtime's text for
// errnoValue); returns lastError, or 155 when it is 0.
DWORD ReportThreadStartFailure(IPrompt& prompt, DWORD lastError, int errnoValue);

}  // namespace zid
