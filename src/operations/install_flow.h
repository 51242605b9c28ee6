// The install decision flow for one package file.
#pragma once

#include <windows.h>

#include <string>

#include "operations/installed_packages.h"

// Checks the package at path and installs it after the user's consent; true when it was installed.
// owner owns the dialogs of an uninstall that comes first; installed is the list the package is
// compared with.
bool InstallPackage(HWND owner, const std::wstring& path, IInstalledPackages& installed);
