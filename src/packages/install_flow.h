// The install decision flow for one package file.
#pragma once

#include <windows.h>

#include <string>

// Checks the package at path and installs it after the user's consent; true when it was installed.
bool InstallPackage(HWND owner, const std::wstring& path);
