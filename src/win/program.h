// The program's identity and its main window, as every layer may need them.
#pragma once

#include <windows.h>

// The program's name: every message box caption, the internet agent, the settings key.
inline constexpr wchar_t kProgramName[] = L"ZIDezureziv";

// The main window while it exists, else null: owner of the program's message boxes and of the
// dialogs that operations show; disabled while an operation runs.
HWND MainWindow();

// Set by the main window when it initialises and cleared when it is destroyed.
void SetMainWindow(HWND window);
