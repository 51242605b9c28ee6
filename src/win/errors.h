// Error texts, and the nested busy cursor.
#pragma once

#include <windows.h>

#include <string>

namespace zid {

// Readable text for a Win32, WinINet (12000-12999) or HRESULT code; never empty-handed:
// unknown codes read "Error number %d" (below 65536) or "Error number 0x%08X". For
// ERROR_INTERNET_EXTENDED_ERROR the text is the server's own words as this thread last received them.
std::wstring GetErrorText(DWORD code);

// As GetErrorText without the line break the system's texts end with, to go on within a line.
std::wstring GetErrorPhrase(DWORD code);

// As GetErrorText, with responseText standing for the server's words of ERROR_INTERNET_EXTENDED_ERROR
// (taken with GetLastResponseText on the thread that failed).
std::wstring GetErrorText(DWORD code, const std::wstring& responseText);

// The server's words for ERROR_INTERNET_EXTENDED_ERROR on this thread, at most 255 characters;
// empty when there are none or they are longer than 256.
std::wstring GetLastResponseText();

}  // namespace zid
