// The log pane of the main window and the per-operation installer log file.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

#include "win/handles.h"

// Appends "HH:MM:SS text" (text may be null) to the log pane, ending with one CR LF, and scrolls to the end.
void AddLogLine(const wchar_t* text);

// Everything the log pane holds, as lines ending CR LF.
const std::wstring& LogPaneText();

// Empties the log pane.
void ClearLogPane();

// Creates an empty, new VNI-yymmdd-HHMMSS[-n].txt in the temporary folder; its path, or empty.
// With held, the open file (read and write, not shared) is handed over, to write through.
std::wstring CreateLogFile(zid::UniqueFile* held = nullptr);

// As CreateLogFile in folder (ending with a separator) with the name taken from local; its path, or empty
// when none of the 999 names could be created.
std::wstring CreateLogFileIn(const std::wstring& folder, const std::tm& local, zid::UniqueFile* held = nullptr);

// CreateLogFile when check box 1007 is checked (warning when none could be made); empty when unchecked.
std::wstring GetLogFilePath(zid::UniqueFile* held = nullptr);

// Writes text and CR LF as UTF-16 at the file's position; reports "WriteLine" on failure.
void WriteLine(HANDLE file, const std::wstring& text);
