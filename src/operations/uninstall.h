// Removing an installed package, with the settings question that versions up to 5.30.2 need.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "operations/installed_packages.h"

// Clears the log pane and uninstalls the record of list's selected row (its item data is the
// record index); owner owns the options dialog.
void UninstallSelected(HWND owner, HWND list, IInstalledPackages& installed);

// Uninstalls the record at recordIndex; upgradingPackage is the package about to be installed over
// it, if any. True when the removal ran and Windows Installer returned 0.
bool UninstallPackage(HWND owner, int recordIndex, const std::optional<std::wstring>& upgradingPackage,
                      IInstalledPackages& installed);

// As UninstallPackage for package, a copy of an installed record taken before the user was asked
// anything (a refresh while a question is open rebuilds the records); installed is refreshed after.
bool UninstallRecord(HWND owner, InstalledPackage package, const std::optional<std::wstring>& upgradingPackage,
                     IInstalledPackages& installed);

// Where the product's uninstall looks for "PreservePreferences" for an installed version (packed),
// or nothing for versions that are not asked: "Software\Corrabel\Velonar\Debug" or "...\Uninstall".
std::optional<std::wstring> PreferencesKeyFor(DWORD version);

// Shows dialog 130 owned by owner; IDOK or IDCANCEL, and in keep whether the user chose to keep
// the settings (assigned only on IDOK).
int AskUninstallOptions(HWND owner, bool& keep);
