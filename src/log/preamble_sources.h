// The machine facts behind the diagnostic report: process owner, antivirus products, loaded modules.
// Low-level: no UI, failures come back as codes or as absent values.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <optional>
#include <string>
#include <vector>

namespace zid {

// Domain and account of the process owner; both empty when no account maps to it.
// Returns the Win32 code of reading the owner; the names are assigned only on success.
DWORD ReadProcessOwner(std::wstring& domain, std::wstring& account);

// The full object text of every antivirus product registered with the security centre, with no
// separator; whatever was gathered before the first failing step (usually nothing). COM must be initialised.
std::wstring QueryAntivirusProducts();

// The object texts the enumerator yields, concatenated, up to the first failure or the end.
std::wstring CollectObjectTexts(IEnumWbemClassObject* enumerator);

// The modules loaded in this process, in the order the system lists them; empty when it cannot list them.
std::vector<HMODULE> ListProcessModules();

// Full path of a loaded module, however long; ERROR_SUCCESS or the code of the failure.
DWORD GetModuleFilePath(HMODULE module, std::wstring& path);

// File version ("a.b.c.d") and company name of a file's version resource, each when present.
struct VersionColumns {
    std::optional<std::wstring> Version;
    std::optional<std::wstring> Company;
};
VersionColumns ReadVersionColumns(const std::wstring& path);

}  // namespace zid
