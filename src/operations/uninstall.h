// Removing an installed package, with the settings question that versions up to 5.30.2 need.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "operations/installed_packages.h"
#include "operations/operation_context.h"

namespace zid {

// Uninstalls the record at recordIndex; upgradingPackage is the package about to be installed over
// it, if any. True when the removal ran and Windows Installer returned 0.
bool UninstallPackage(const OperationContext& context, int recordIndex,
                      const std::optional<std::wstring>& upgradingPackage, IInstalledPackages& installed);

// As UninstallPackage for package, a copy of an installed record taken before the user was asked
// anything (a refresh while a question is open rebuilds the records); installed is refreshed after.
// An entry that Windows Installer does not know is offered for removal instead (true once removed).
bool UninstallRecord(const OperationContext& context, InstalledPackage package,
                     const std::optional<std::wstring>& upgradingPackage, IInstalledPackages& installed);

// As UninstallRecord; Windows Installer's result, or nothing when the removal never ran (refused or
// cancelled).
std::optional<DWORD> RunUninstall(const OperationContext& context, InstalledPackage package,
                                  const std::optional<std::wstring>& upgradingPackage, IInstalledPackages& installed);

// Where the product's uninstall looks for "PreservePreferences" for an installed version (packed),
// or nothing for versions that are not asked: "Software\Corrabel\Velonar\Debug" or "...\Uninstall".
std::optional<std::wstring> PreferencesKeyFor(DWORD version);

}  // namespace zid
