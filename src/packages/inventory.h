// The installed Velonar packages (Uninstall key of the local machine) and the packed version number.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "packages/installed_package.h"

namespace zid {

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

// The key below HKEY_LOCAL_MACHINE that holds the Programs and Features entries.
inline constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// True when the Uninstall entry's DisplayName names Velonar.
bool IsProductEntry(HKEY entry);

// One Velonar entry of the Uninstall key: its record, and its texts as the list of installed packages
// shows them.
struct InventoryEntry {
    InstalledPackage Record;
    std::wstring Version;            // DisplayVersion (shown safely), " (64 bit)" after it in the 64-bit view
    std::wstring InstallDate;        // InstallDate as FormatInstallDate shows it; empty when it is none
    std::wstring Size;               // EstimatedSize as FormatSize shows it; empty when there is none
    std::wstring IsoDate;            // InstallDate as "2026-12-09"; empty when it is none
    std::optional<DWORD> Kilobytes;  // EstimatedSize; none when there is none
};

// A step of a scan that failed: its name ("OpenKey(1)", "EnumKey(1)", "OpenKey(2)") and the code.
struct InventoryFailure {
    std::wstring Step;
    LSTATUS Status = ERROR_SUCCESS;
};

// An entry of the Uninstall key that could not be opened: its name, the view's mark and the code.
struct InventorySkip {
    std::wstring Name;
    bool Is64Bit = false;
    LSTATUS Status = ERROR_SUCCESS;
};

// What scans found, in the order found: a record's position is its record index.
struct InventoryScan {
    std::vector<InventoryEntry> Entries;
    std::vector<InventoryFailure> Failures;
    std::vector<InventorySkip> Skipped;
};

// Appends the Velonar entries of HKLM's Uninstall key in view (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY)
// to scan. A missing key lists nothing; an entry that cannot be opened is added to scan.Skipped and
// the scan goes on (an entry of any other program must not hide Velonar's); another failure is added
// to scan.Failures and ends the scan of the view, and what was found before it stays.
void ScanInstalledPackages(REGSAM view, InventoryScan& scan);

// ScanInstalledPackages of both views on 64-bit Windows (the 32-bit one first), else of the one
// view; how many entries the first (32-bit) view added.
int ScanEveryView(bool win64, InventoryScan& scan);

// As ScanInstalledPackages on root\subKey, any key laid out like the Uninstall key.
void ScanUninstallKey(HKEY root, const wchar_t* subKey, REGSAM view, InventoryScan& scan);

// One log line for all the entries a refresh skipped: how many, each name (shown safely, with its
// view) and why; empty when there were none.
std::wstring DescribeSkippedEntries(const std::vector<InventorySkip>& skipped);

}  // namespace zid
