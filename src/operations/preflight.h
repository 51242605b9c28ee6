// What can be known before an operation runs about why it would fail: checked after the program's
// own questions and before the worker starts.
#pragma once

#include <string>
#include <vector>

#include "operations/operation.h"
#include "operations/operation_context.h"

namespace zid {

// One thing found in the way of an operation.
struct PreflightFinding {
    std::wstring Line;      // for the log pane
    std::wstring Question;  // OK/Cancel warning, only for what would certainly fail; empty otherwise
    QuestionKind Kind = QuestionKind::AnotherInstallation;  // what the question is about
    bool PackagesGone = false;  // Windows Installer has no package of the installation left to work from
};

// Whether Windows Installer's execution mutex exists: another installation is in progress.
bool AnotherInstallationRuns();

// The findings for request: another installation running, a restart pending, and for repair and
// uninstall a product installer does not know or whose cached package is gone. Asks nobody.
std::vector<PreflightFinding> CheckBeforeOperation(const OperationRequest& request, IWindowsInstaller& installer);

// Writes each finding's line and asks each finding's question (answered OK by itself in basic UI
// mode); false when the user chose Cancel. When no package of the installation is left, the package
// source (if any) is asked for the same release first: a package the user agrees to fetch and that
// passes its checks becomes request's PackagePath, and the operation runs from it.
bool ConfirmBeforeOperation(OperationRequest& request, const OperationContext& context);

}  // namespace zid
