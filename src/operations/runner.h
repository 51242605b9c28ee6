// The installer operation runner: one Windows Installer operation on a worker thread while the
// window keeps answering, then its result line and its log.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "operations/operation.h"

// Runs request (its LogPath is set here): checks what would make it fail, log file, diagnostic
// report, the worker, the result line and why it failed, the installer log shown. Returns Windows
// Installer's result, the failure code of the thread start, or nothing when the user chose Cancel
// at a check (the worker never started). Returns, or throws what a message handler threw while it
// waited, only once the worker has ended.
std::optional<DWORD> RunOperation(OperationRequest& request);

// The worker's Windows Installer calls for request at the given basic UI mode; their result
// (1 for an unknown command).
UINT OperationWorker(const OperationRequest& request, bool basicUi);

// "Install 5.45.3 (64 bit)", "Repair", or "" for an unknown command: what the operation is called.
std::wstring OperationTitle(const OperationRequest& request);

// Reports a worker thread that did not start ("_beginthreadex" with the C runtime's text for
// errnoValue); returns lastError, or 155 when it is 0.
DWORD ReportThreadStartFailure(DWORD lastError, int errnoValue);

// Opens a non-empty installer log with its program and makes it the last log path (else clears
// it); Copy Path is enabled exactly when there is one.
void ShowInstallerLog(const std::wstring& path);

// Path of the installer log of the last operation, or empty; what Copy Path copies.
const std::wstring& LastLogPath();
void SetLastLogPath(std::wstring path);
