// One Windows Installer operation: what the runner is asked to do.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "packages/installed_package.h"
#include "win/handles.h"

namespace zid {

enum class OperationCommand {
    Uninstall,
    Install,
    Repair,
};

struct OperationRequest {
    OperationCommand Command = OperationCommand::Install;
    // A copy of the installed package concerned (uninstall, repair): a refresh of the list while the
    // operation runs cannot take it away.
    std::optional<InstalledPackage> Package;
    std::wstring LogPath;                     // installer log file; set by the runner, empty when none
    std::optional<std::wstring> PackagePath;  // the package file of an install
    // The package file held open (read-only, others may only read) while the operation uses it, when
    // it was checked through this handle.
    std::shared_ptr<const zid::UniqueFile> HeldPackage;
    std::wstring CommandLine;  // extra property assignments for an uninstall
};

}  // namespace zid
