// Runs without the main window: /list, and the operations of /quiet and /passive, whose one result
// line goes to standard output.
#pragma once

#include <string>

#include "operations/prompt.h"
#include "operations/windows_installer.h"
#include "packages/inventory.h"
#include "shell/command_line.h"
#include "win/platform.h"
#include "win/settings.h"

namespace zid {

// The installed packages as /list writes them: a JSON array of objects, English whatever the user's
// language, one line per package.
std::wstring InstalledPackagesJson(const std::vector<InventoryEntry>& entries);

// The log file a run was given (/log), made anew: one there is replaced (a link goes, not its target).
// Its full path, or empty (told through prompt) when it cannot be made.
std::wstring PrepareLogFile(const std::wstring& given, IPrompt& prompt);

// Writes the installed packages as JSON to standard output; the exit code (0).
int RunList(const PlatformFacts& platform);

// Writes text (lines end CR LF) to standard output when it is a file, a pipe or the parent's console;
// as UTF-8 to a file or pipe. Nothing when there is none.
void WriteStandardOutput(const std::wstring& text);

// Runs command's operation with nobody there (/quiet, /passive): every question answered by its kind,
// the result line and the log's path on standard output; the exit code. installer: msi.dll's or a
// test's.
int RunUnattended(const CommandLine& command, const PlatformFacts& platform, CSettingsStore& settings,
                  IWindowsInstaller& installer);

}  // namespace zid
