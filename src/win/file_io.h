// Whole-file reads and writes.
#pragma once

#include <windows.h>

#include <string>

// Reads the whole file (shared for reading and writing) into bytes; 0 or the Win32 error, bytes
// assigned only on success.
DWORD ReadWholeFile(const std::wstring& path, std::string& bytes);

// Creates or replaces the file with bytes; 0 or the Win32 error.
DWORD WriteWholeFile(const std::wstring& path, const std::string& bytes);
