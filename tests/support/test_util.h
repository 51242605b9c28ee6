// Small helpers shared by the Windows-side tests.
#pragma once

#include <windows.h>

#include <string>

// Narrow text for test messages.
std::string Narrow(const std::wstring& text);

// Window text of a control or window.
std::wstring WindowText(HWND window);

// Dispatches waiting messages without the program's pump (no accelerators, no dialog handling).
void DrainMessages();

// A folder path under the build's scratch area, created empty; ends without a separator.
std::wstring ScratchFolder(const std::wstring& name);

// Destroys a main window a test created (if still alive), drops what is queued and clears the
// application flags the window and the pump set.
void CloseTestMainWindow(HWND window);

// Deletes HKCU\Software\Fennickworks\ZIDezureziv with everything below it.
void DeleteSettingsKey();
