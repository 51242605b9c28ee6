// The one step this program runs when it starts itself with administrator rights: the removal of a
// leftover Programs and Features entry, which repeats every check itself.
#pragma once

#include <windows.h>

#include <optional>

#include "operations/windows_installer.h"

namespace zid {

// When commandTail starts with the internal switch: runs that step and returns its exit code (0
// removed, otherwise why not; ERROR_INVALID_PARAMETER for anything but exactly the switch, "32" or
// "64", and one product code). Nothing for every other command line.
std::optional<int> RunElevatedStep(const wchar_t* commandTail, IWindowsInstaller& installer);

}  // namespace zid
