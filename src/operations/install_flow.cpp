#include "operations/install_flow.h"

// The install decision flow is not built yet: a package run installs nothing and ends with exit
// code 1.
bool InstallPackage(HWND, const std::wstring&, IInstalledPackages&) {
    return false;
}
