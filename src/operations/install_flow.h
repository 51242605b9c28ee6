// The install decision flow for one package file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "operations/installed_packages.h"
#include "operations/operation_context.h"

namespace zid {

// Where a package file came from, which decides what its signature must be.
enum class PackageOrigin {
    ChosenFile,  // the user chose it: a package that is not the maker's verified one is asked about
    Website,     // downloaded from the website: one that is not the maker's is refused and deleted
};

// Checks the package at path, asks about what would conflict, and installs it. The file is held open
// from its signature check until the install has ended, so that nobody can change it meanwhile.
// installed is the list the package is compared with (refreshed before and after). Returns the
// install's Windows Installer result, or nothing when the flow ended before installing (a refusal,
// or Cancel at any question).
std::optional<DWORD> InstallPackage(const OperationContext& context, const std::wstring& path,
                                    IInstalledPackages& installed, PackageOrigin origin = PackageOrigin::ChosenFile);

}  // namespace zid
