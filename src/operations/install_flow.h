// The install decision flow for one package file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "operations/installed_packages.h"

// Checks the package at path, asks about what would conflict, and installs it. owner owns the
// dialogs of an uninstall that comes first; installed is the list the package is compared with
// (refreshed before and after). Returns the install's Windows Installer result, or nothing when the
// flow ended before installing (a refusal, or Cancel at any question).
std::optional<DWORD> InstallPackage(HWND owner, const std::wstring& path, IInstalledPackages& installed);
