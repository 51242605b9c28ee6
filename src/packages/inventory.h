// The installed Velonar packages (Uninstall key of the local machine) and the packed version number.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "packages/installed_package.h"

// The product name an Uninstall entry's DisplayName must carry.
inline constexpr wchar_t kProductName[] = L"Velonar";

// major << 24 | minor << 16 | build; a part too large for its field is held at the field's maximum.
DWORD PackVersion(unsigned major, unsigned minor, unsigned build);

// Packed version of a "major.minor.build" text; missing or unreadable parts are 0.
DWORD MakePackedVersion(const std::wstring& text);

// Negative, 0 or positive as a is older than, equal to or newer than b (unsigned comparison).
int CompareVersions(DWORD a, DWORD b);

// "major.minor", then ".build" only when build is not 0.
std::wstring FormatVersion(DWORD version);

// Year, month, day scanned from text with pattern, shown in the C locale's "%x" form (03/14/24);
// empty when fewer than three numbers are read or they are not a calendar date from 1970 to 9999.
std::wstring FormatInstallDate(const std::wstring& text, const wchar_t* pattern);

// Kilobytes as three significant digits with a unit: 999 KB, 0.977 MB, 1 GB (divided by 1024 from 1000 up).
std::wstring FormatSize(DWORD kilobytes);

// True for "Velonar" alone or followed by a space; case-sensitive.
bool IsProductDisplayName(const std::wstring& displayName);

// Appends one record to records and one row to list (item data: the record's index) per Velonar entry
// of HKLM's Uninstall key in view (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY); returns how many. A missing
// key lists nothing; other failures are reported, and what was found before them stays.
int ScanInstalledPackages(HWND list, std::vector<InstalledPackage>& records, REGSAM view);

// As ScanInstalledPackages on root\subKey, any key laid out like the Uninstall key.
int ScanUninstallKey(HWND list, std::vector<InstalledPackage>& records, HKEY root, const wchar_t* subKey, REGSAM view);
