// What is left of an installation that Windows Installer no longer knows: its entry in Programs and
// Features. Removed on request, after a backup that Registry Editor imports to bring it back.
#pragma once

#include <windows.h>

#include <string>

#include "operations/installed_packages.h"
#include "operations/operation.h"
#include "operations/operation_context.h"

namespace zid {

// The program's own command line for the one step it runs elevated: this switch, the view ("32" or
// "64") and the entry's product code.
inline constexpr wchar_t kRemoveLeftoverSwitch[] = L"/remove-leftover-entry";

// Why RemoveLeftoverKey did not remove an entry, besides the registry's own errors.
inline constexpr DWORD kNotAProductCode = ERROR_INVALID_PARAMETER;
inline constexpr DWORD kNotVelonar = ERROR_INVALID_DATA;
inline constexpr DWORD kKnownToInstaller = ERROR_INVALID_STATE;

// True when record's name is a product code that Windows Installer does not know at all: only its
// entry in Programs and Features is left.
bool IsLeftoverEntry(const InstalledPackage& record, IWindowsInstaller& installer);

// The entry's key as Registry Editor names it: one of the 32-bit view of 64-bit Windows under
// "SOFTWARE\Wow6432Node", as the 64-bit Registry Editor imports it.
std::wstring EntryKeyName(const std::wstring& productCode, bool is64Bit, bool win64);

// Deletes the Uninstall entry productCode of the 64-bit or 32-bit view with everything below it and
// nothing else, once it has checked again that the name is exactly one braced product code, that the
// entry names Velonar and that Windows Installer does not know the product. 0, kNotAProductCode,
// kNotVelonar, kKnownToInstaller, or the registry's error (ERROR_ACCESS_DENIED without the rights).
DWORD RemoveLeftoverKey(const std::wstring& productCode, bool is64Bit, IWindowsInstaller& installer);

// What the user's text for a result of RemoveLeftoverKey says.
std::wstring LeftoverRefusalText(DWORD result);

enum class LeftoverOutcome {
    Removed,  // backed up and gone; installed refreshes
    Kept,     // the answer was No
    Failed,   // told why; the entry is as it was, unless the removal itself broke off
};

// For a leftover record (IsLeftoverEntry), chosen for command (Repair or Uninstall; an install's
// conflict is an Uninstall): asks whether to remove the entry (basic UI mode: yes for an uninstall,
// no for a repair), writes its backup as a VNI-...-entry.reg in the temporary folder, removes it,
// elevated for that step when the rights are missing, and logs what was removed and where the
// backup is.
LeftoverOutcome OfferLeftoverRemoval(const OperationContext& context, const InstalledPackage& record,
                                     OperationCommand command, IInstalledPackages& installed);

}  // namespace zid
