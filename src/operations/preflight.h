// What can be known before an operation runs about why it would fail: checked after the program's
// own questions and before the worker starts.
#pragma once

#include <string>
#include <vector>

#include "operations/operation.h"

// One thing found in the way of an operation.
struct PreflightFinding {
    std::wstring Line;      // for the log pane
    std::wstring Question;  // OK/Cancel warning, only for what would certainly fail; empty otherwise
};

// The findings for request: another installation running, a restart pending, and for repair and
// uninstall a product Windows Installer does not know or whose cached package is gone. No UI.
std::vector<PreflightFinding> CheckBeforeOperation(const OperationRequest& request);

// Writes each finding's line and asks each finding's question (answered OK by itself in basic UI
// mode); false when the user chose Cancel.
bool ConfirmBeforeOperation(const OperationRequest& request);
