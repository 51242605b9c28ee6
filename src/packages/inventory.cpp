#include "packages/inventory.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "packages/msi_file.h"
#include "win/errors.h"
#include "win/registry.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

constexpr wchar_t kInstallDatePattern[] = L"%4u%2u%2u";
constexpr wchar_t kUnitLetters[] = L"KMGT";
constexpr wchar_t kSuffix64[] = L" (64 bit)";
constexpr DWORD kMaxKeyName = 260;  // product codes are 38 characters; longer names are not ours

bool IsLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// A mended date (13/40 rolled over into the next year) would show a day that no entry ever named.
bool IsCalendarDate(unsigned year, unsigned month, unsigned day) {
    if (year < 1970 || year > 9999 || month < 1 || month > 12)
        return false;
    return day >= 1 && day <= DaysInMonth(year, month);
}

std::wstring ReadString(HKEY key, const wchar_t* name) {
    std::wstring text;
    QueryStringValue(key, name, text);
    return text;
}

// The entry's texts as the list shows them: version (with the 64-bit mark), install date, size.
InventoryEntry ReadEntryTexts(HKEY entry, bool is64Bit) {
    InventoryEntry texts;
    // Anyone who can write an Uninstall entry chose this text: it is shown, never read as layout.
    texts.Version = ShownText(ReadString(entry, L"DisplayVersion"));
    if (is64Bit)
        texts.Version += kSuffix64;
    std::wstring installDate;
    unsigned year = 0;
    unsigned month = 0;
    unsigned day = 0;
    if (QueryStringValue(entry, L"InstallDate", installDate) == ERROR_SUCCESS) {
        texts.InstallDate = FormatInstallDate(installDate, kInstallDatePattern);
        if (swscanf(installDate.c_str(), kInstallDatePattern, &year, &month, &day) == 3 &&
            IsCalendarDate(year, month, day)) {
            wchar_t iso[16];
            swprintf(iso, 16, L"%04u-%02u-%02u", year, month, day);
            texts.IsoDate = iso;
        }
    }
    DWORD size = 0;
    if (QueryDwordValue(entry, L"EstimatedSize", size) == ERROR_SUCCESS) {
        texts.Size = FormatSize(size);
        texts.Kilobytes = size;
    }
    return texts;
}

InstalledPackage ReadPackageRecord(HKEY entry, const std::wstring& name, bool is64Bit) {
    InstalledPackage package;
    package.ProductCode = name;
    package.PackageCode = GetInstalledPackageCode(name);
    QueryDwordValue(entry, L"Version", package.Version);
    package.Is64Bit = is64Bit;
    QueryExpandedStringValue(entry, L"InstallLocation", package.InstallLocation);
    package.UninstallString = ReadString(entry, L"UninstallString");
    return package;
}

}  // namespace

DWORD PackVersion(unsigned major, unsigned minor, unsigned build) {
    return static_cast<DWORD>(std::min(major, 0xFFu)) << 24 | static_cast<DWORD>(std::min(minor, 0xFFu)) << 16 |
           std::min(build, 0xFFFFu);
}

DWORD MakePackedVersion(const std::wstring& text) {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned build = 0;
    swscanf(text.c_str(), L"%u.%u.%u", &major, &minor, &build);
    return PackVersion(major, minor, build);
}

int CompareVersions(DWORD a, DWORD b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

std::wstring FormatVersion(DWORD version) {
    wchar_t text[40];
    swprintf(text, 40, L"%u.%u", static_cast<unsigned>(version >> 24), static_cast<unsigned>((version >> 16) & 0xFF));
    std::wstring result = text;
    if ((version & 0xFFFF) != 0) {
        swprintf(text, 40, L".%u", static_cast<unsigned>(version & 0xFFFF));
        result += text;
    }
    return result;
}

std::wstring FormatInstallDate(const std::wstring& text, const wchar_t* pattern) {
    unsigned year = 0;
    unsigned month = 0;
    unsigned day = 0;
    if (swscanf(text.c_str(), pattern, &year, &month, &day) != 3 || !IsCalendarDate(year, month, day))
        return {};
    // Only the date is shown, so the day needs no round trip through the local time zone.
    std::tm date{};
    date.tm_year = static_cast<int>(year) - 1900;
    date.tm_mon = static_cast<int>(month) - 1;
    date.tm_mday = static_cast<int>(day);
    wchar_t formatted[128];
    const size_t length = std::wcsftime(formatted, 128, L"%x", &date);
    return std::wstring(formatted, length);
}

std::wstring FormatSize(DWORD kilobytes) {
    double x = kilobytes;
    size_t unit = 0;
    // The threshold is 1000 while the divisor is 1024: sizes never show four digits before the unit changes.
    while (x >= 1000 && unit + 1 < wcslen(kUnitLetters)) {
        x *= 1.0 / 1024;
        ++unit;
    }
    wchar_t number[32];
    swprintf(number, 32, L"%.3g", x);
    return std::wstring(number) + L' ' + kUnitLetters[unit] + L'B';
}

bool IsProductDisplayName(const std::wstring& displayName) {
    const std::wstring_view product = kProductName;
    return displayName.starts_with(product) &&
           (displayName.size() == product.size() || displayName[product.size()] == L' ');
}

bool IsProductEntry(HKEY entry) {
    std::wstring displayName;
    return QueryStringValue(entry, L"DisplayName", displayName) == ERROR_SUCCESS && IsProductDisplayName(displayName);
}

void ScanUninstallKey(HKEY root, const wchar_t* subKey, REGSAM view, InventoryScan& scan) {
    const REGSAM access = KEY_READ | view;
    const bool is64Bit = view == KEY_WOW64_64KEY;
    CRegKey uninstall;
    if (LSTATUS status = uninstall.OpenKey(root, subKey, access); status != ERROR_SUCCESS) {
        // A view in which nothing was ever installed may have no Uninstall key at all: nothing to list.
        if (status != ERROR_FILE_NOT_FOUND)
            scan.Failures.push_back({L"OpenKey(1)", status});
        return;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[kMaxKeyName];
        DWORD length = kMaxKeyName;
        LSTATUS status = RegEnumKeyExW(uninstall.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            scan.Failures.push_back({L"EnumKey(1)", status});
            break;
        }
        CRegKey entry;
        status = entry.OpenKey(uninstall.get(), name, access);
        if (status != ERROR_SUCCESS) {
            scan.Skipped.push_back({name, is64Bit, status});
            continue;
        }
        if (!IsProductEntry(entry.get()))
            continue;
        InventoryEntry found = ReadEntryTexts(entry.get(), is64Bit);
        found.Record = ReadPackageRecord(entry.get(), name, is64Bit);
        scan.Entries.push_back(std::move(found));
    }
}

std::wstring DescribeSkippedEntries(const std::vector<InventorySkip>& skipped) {
    if (skipped.empty())
        return {};
    std::wstring line = L"Refresh: " + std::to_wstring(skipped.size()) +
                        (skipped.size() == 1 ? L" entry" : L" entries") +
                        L" of the list of installed programs could not be read and " +
                        (skipped.size() == 1 ? L"is" : L"are") + L" not listed:";
    for (size_t i = 0; i < skipped.size(); ++i) {
        const InventorySkip& skip = skipped[i];
        line += (i == 0 ? L" \"" : L"; \"") + ShownValue(skip.Name) + L"\"" + (skip.Is64Bit ? kSuffix64 : L"") + L": " +
                GetErrorPhrase(static_cast<DWORD>(skip.Status));
    }
    return line;
}

void ScanInstalledPackages(REGSAM view, InventoryScan& scan) {
    ScanUninstallKey(HKEY_LOCAL_MACHINE, kUninstallKey, view, scan);
}

int ScanEveryView(bool win64, InventoryScan& scan) {
    const size_t before = scan.Entries.size();
    ScanInstalledPackages(win64 ? KEY_WOW64_32KEY : 0, scan);
    const auto count32 = static_cast<int>(scan.Entries.size() - before);
    if (win64)
        ScanInstalledPackages(KEY_WOW64_64KEY, scan);
    return count32;
}

}  // namespace zid
