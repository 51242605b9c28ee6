// The process: start-up, the optional package argument, the main loop and shutdown.
#pragma once

#include <windows.h>

#include <string>

#include "operations/prompt.h"
#include "operations/windows_installer.h"

namespace zid {

// What the program may be given in place of its own: the two things the tests cannot drive for real.
struct ProgramSeams {
    IPrompt* Prompt = nullptr;               // null: the window's message boxes and log pane
    IWindowsInstaller* Installer = nullptr;  // null: msi.dll
};

// Runs the whole program inside the last-resort exception guard; returns the exit code.
int RunInstallerProgram(HINSTANCE instance, const wchar_t* commandTail, const ProgramSeams& seams = {});

// The text shown when an exception ends the program ("...: detail", at most 159 characters).
std::wstring BuildTerminationText(const std::wstring& detail);

}  // namespace zid
