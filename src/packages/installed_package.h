// One installed Velonar package, as the inventory finds it in the Uninstall key.
#pragma once

#include <windows.h>

#include <string>

namespace zid {

struct InstalledPackage {
    std::wstring ProductCode;
    std::wstring PackageCode;
    DWORD Version = 0;  // packed: major << 24 | minor << 16 | build
    bool Is64Bit = false;
    std::wstring InstallLocation;
    std::wstring UninstallString;
};

}  // namespace zid
