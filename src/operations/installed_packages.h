// What the package operations need of the list of installed packages; the This PC page provides it.
#pragma once

#include <vector>

#include "packages/installed_package.h"

namespace zid {

class IInstalledPackages {
public:
    // The records of the last refresh; a record's position is its record index.
    virtual const std::vector<InstalledPackage>& Records() const = 0;
    // Packages the last refresh found in the 32-bit and in the 64-bit registry view.
    virtual int Count32() const = 0;
    virtual int Count64() const = 0;
    // Rescans at once (the page's list follows).
    virtual void Refresh() = 0;
    // Rescans once the current action has returned.
    virtual void PostRefresh() = 0;

protected:
    ~IInstalledPackages() = default;
};

}  // namespace zid
