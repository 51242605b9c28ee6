// Whole-file reads and writes.
#pragma once

#include <windows.h>

#include <string>

// Reads the whole file (shared for reading and writing) into bytes; 0 or the Win32 error, bytes
// assigned only on success.
DWORD ReadWholeFile(const std::wstring& path, std::string& bytes);

// Creates the file, which must not exist yet (nor a link by its name), with bytes; 0 or the Win32
// error (ERROR_FILE_EXISTS when the name is taken).
DWORD WriteNewFile(const std::wstring& path, const std::string& bytes);
