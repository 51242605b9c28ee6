// A registry key as Registry Editor exports it: the ".reg" text that "regedit" imports again.
#pragma once

#include <windows.h>

#include <string>

namespace zid {

// One value as its line in a .reg file (continued over lines as Registry Editor wraps it); name
// empty for the default value. A string that would not come back byte for byte as a quoted string
// (no terminator, a character inside it that ends it or a line) is written as its bytes instead.
std::wstring RegValueLine(const std::wstring& name, DWORD type, const BYTE* data, DWORD size);

// Appends key (named keyName in the text, "HKEY_LOCAL_MACHINE\\...") with every value and every subkey
// below it to text, in Registry Editor's layout. 0 or the registry error; ERROR_INVALID_DATA when a
// key or value name holds a line break or a NUL, which a .reg file cannot carry.
LSTATUS ExportRegistryKey(HKEY key, const std::wstring& keyName, std::wstring& text);

// Writes Registry Editor's header and body to file as UTF-16 with its byte-order mark; 0 or the
// Win32 error.
DWORD WriteRegFile(HANDLE file, const std::wstring& body);

}  // namespace zid
