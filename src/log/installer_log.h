// The per-operation installer log file: its name, and lines written into it.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>
#include <vector>

#include "win/handles.h"

namespace zid {

// Creates an empty, new VNI-yymmdd-HHMMSS[-n].txt in the temporary folder; its path, or empty.
// With held, the open file (read and write, not shared) is handed over, to write through. ending
// replaces ".txt" for a file that goes with an operation in place of its log ("-entry.reg").
std::wstring CreateLogFile(zid::UniqueFile* held = nullptr, const wchar_t* ending = L".txt");

// As CreateLogFile in folder (ending with a separator) with the name taken from local; its path, or empty
// when none of the 999 names could be created.
std::wstring CreateLogFileIn(const std::wstring& folder, const std::tm& local, zid::UniqueFile* held = nullptr);

// Appends each of lines and CR LF to the existing log at path in its own encoding: UTF-16 after a
// byte-order mark, else UTF-8. 0 or the Win32 error.
DWORD AppendLines(const std::wstring& path, const std::vector<std::wstring>& lines);

// Writes text and CR LF as UTF-16 at the file's position; 0 or the Win32 error.
DWORD WriteLine(HANDLE file, const std::wstring& text);

}  // namespace zid
