// File reads and writes that hold their ground against other users and large files.
#pragma once

#include <windows.h>

#include <string>

#include "win/handles.h"

namespace zid {

// The file's first headBytes, then (when it is longer than headBytes + tailBytes) only its last
// tailBytes or one byte more, from an even offset so that two-byte characters stay whole; a shorter
// file whole. 0 or the Win32 error, bytes assigned only on success. Reads one buffer, however large
// the file.
DWORD ReadFileHeadAndTail(const std::wstring& path, size_t headBytes, size_t tailBytes, std::string& bytes);

// Creates the file, which must not exist yet (nor a link by its name), with bytes; 0 or the Win32
// error (ERROR_FILE_EXISTS when the name is taken).
DWORD WriteNewFile(const std::wstring& path, const std::string& bytes);

// Opens an existing file for reading and lets others only read it: while the handle is held, the file
// cannot be written, replaced, renamed or deleted, so what was checked through it stays what is used.
// 0 or the Win32 error; file assigned only on success.
DWORD OpenHeldFile(const std::wstring& path, zid::UniqueFile& file);

// The full path of path (relative to the current folder, as GetFullPathNameW makes it), however long;
// 0 or the Win32 error, full assigned only on success.
DWORD FullPathName(const std::wstring& path, std::wstring& full);

}  // namespace zid
