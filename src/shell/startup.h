// The process: start-up, the optional package argument, the main loop and shutdown.
#pragma once

#include <windows.h>

#include <string>

// Runs the whole program inside the last-resort exception guard; returns the exit code.
int RunInstallerProgram(HINSTANCE instance, const wchar_t* commandTail);

// The text shown when an exception ends the program ("...: detail", at most 159 characters).
std::wstring BuildTerminationText(const std::wstring& detail);
