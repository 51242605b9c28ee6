// Windows' own DLLs come from System32 only: a DLL planted in the folder the program runs from
// (often Downloads) never loads. DLLs that are not KnownDLLs are delay-loaded through here.
#pragma once

#include <windows.h>

namespace zid {

// Restricts the process's DLL search to System32: SetDefaultDllDirectories where the system has it,
// and SetDllDirectoryW(L"") to drop the current folder in any case; where the first is missing, the
// DLLs that Windows' own code loads later by bare name are loaded from System32 at once, so that the
// later loads find them. The first thing the program does.
void RestrictDllSearch();

// Loads Windows' own DLL name (a bare file name) by its full path in System32 with flags (its
// imports also from System32); null with the last error set when it is not there. Never searches
// the program's folder or the current folder.
HMODULE LoadSystemLibrary(const wchar_t* name, DWORD flags = 0);

}  // namespace zid
