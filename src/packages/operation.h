// One Windows Installer operation: what the runner is asked to do.
#pragma once

#include <optional>
#include <string>

#include "packages/installed_package.h"

struct OperationRequest {
    int Command = 0;                          // 1002 uninstall, 1003 install, 1013 repair
    const InstalledPackage* Package = nullptr;  // the installed package concerned, or none
    std::wstring LogPath;                     // installer log file; empty when none is wanted
    std::optional<std::wstring> PackagePath;  // the package file of an install
    std::wstring CommandLine;                 // extra property assignments for an uninstall
};
