// Error texts, the program's notice boxes and the nested busy cursor.
#pragma once

#include <windows.h>

#include <string>

// Readable text for a Win32, WinINet (12000-12999) or HRESULT code; never empty-handed:
// unknown codes read "Error number %d" (below 65536) or "Error number 0x%08X". For
// ERROR_INTERNET_EXTENDED_ERROR the text is the server's own words as this thread last received them.
std::wstring GetErrorText(DWORD code);

// As GetErrorText, with responseText standing for the server's words of ERROR_INTERNET_EXTENDED_ERROR
// (taken with GetLastResponseText on the thread that failed).
std::wstring GetErrorText(DWORD code, const std::wstring& responseText);

// The server's words for ERROR_INTERNET_EXTENDED_ERROR on this thread, at most 255 characters;
// empty when there are none or they are longer than 256.
std::wstring GetLastResponseText();

// Shows "context: detail" (or the detail alone) captioned "ZIDezureziv", owned by the main window
// (no owner when there is none).
void ShowMessage(const std::wstring& context, const std::wstring& detail, UINT style);

// Shows the text of code with the context and the error icon.
void ReportError(const std::wstring& context, DWORD code);

// ReportError with the calling thread's last error, read before anything else runs.
void ReportLastError(const std::wstring& context);

// The busy cursor: shown from the outermost Begin to its matching End, nesting counted.
void BeginWaitCursor();
void EndWaitCursor();

// Begins a busy-cursor level for the lifetime of the object.
class CWaitCursor {
public:
    CWaitCursor() { BeginWaitCursor(); }
    ~CWaitCursor() { EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// Current nesting depth of the busy cursor (for diagnostics and tests).
int GetWaitCursorDepth();
