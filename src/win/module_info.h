// The program's own file: its path and the texts of its version resource.
#pragma once

#include <windows.h>

#include <string>

namespace zid {

// Full path of the program's own file, however long.
std::wstring GetModulePath();

// String id of instance's string table; empty without one.
std::wstring LoadText(HINSTANCE instance, UINT id);

// "1.11", "1.11.3", "1.11.0.4" or "1.11.3.4" from file's version resource; empty without one.
// Fills productName and copyright when given and present.
std::wstring GetFileVersionText(const std::wstring& file, std::wstring* productName = nullptr,
                                std::wstring* copyright = nullptr);

// What our own file's version resource says (texts empty where it says nothing).
struct OwnVersion {
    std::wstring Version;  // as GetFileVersionText gives it
    std::wstring ProductName;
    std::wstring Copyright;
};

// Our own file's version resource, read anew.
OwnVersion ReadOwnVersion();

// "%s Version %s" of own's product name and version number.
std::wstring VersionLine(const OwnVersion& own);

// VersionLine of our own file.
std::wstring GetVersionText();

}  // namespace zid
