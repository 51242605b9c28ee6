// The product's two builds, told apart by their packages' UpgradeCode.
#pragma once

#include <string>

namespace zid {

inline constexpr wchar_t kUpgradeCode32[] = L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13}";
inline constexpr wchar_t kUpgradeCode64[] = L"{C41F8B02-7E6D-4A95-B3E8-19D6F27C5A80}";

// 0 for the 32-bit build's code, 1 for the 64-bit build's, -1 for anything else (exact,
// case-sensitive comparison).
inline int FindBuild(const std::wstring& upgradeCode) {
    if (upgradeCode == kUpgradeCode32)
        return 0;
    if (upgradeCode == kUpgradeCode64)
        return 1;
    return -1;
}

// "32 bit" or "64 bit".
inline const wchar_t* BuildLabel(bool is64Bit) {
    return is64Bit ? L"64 bit" : L"32 bit";
}

}  // namespace zid
