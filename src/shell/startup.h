// The process: start-up, the optional package argument, the main loop and shutdown.
#pragma once

#include <windows.h>

#include <string>

// Runs the whole program inside the last-resort exception guard; returns the exit code.
int RunInstallerProgram(HINSTANCE instance, const wchar_t* commandTail);

// Dispatches every waiting message; returns when the queue is empty or WM_QUIT was seen.
void PumpMessages();

// True on Windows Vista or later.
bool IsVistaOrLater();

// Platform facts found at start-up (also called by tests).
bool DetectWine();
bool DetectWow64();

// The text shown when an exception ends the program ("...: detail", at most 159 characters).
std::wstring BuildTerminationText(const std::wstring& detail);
