// The program's message pump: the main loop's, and the one that operations and downloads run
// while they wait, so the window stays responsive.
#pragma once

#include <windows.h>

#include <functional>

// Wake mask of the waits around the pump: any input.
inline constexpr DWORD kWakeOnAnyInput = QS_ALLINPUT;

struct PumpState {
    HACCEL Accelerators = nullptr;  // translated for the main window
    std::function<void()> CtrlB;    // runs for Ctrl+B (the character 2), which is then consumed
    bool Quit = false;              // WM_QUIT was seen, or the program decided to end
    int ExitCode = 1;               // WM_QUIT's code once it was seen
};

// The pump's configuration and quit state for this process.
PumpState& Pump();

// Dispatches every waiting message; returns when the queue is empty or WM_QUIT was seen. An
// exception that a callback stored while a message was handled is rethrown here.
void PumpMessages();
