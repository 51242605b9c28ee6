// What the command line asks for, run with the operations of the program: a package file, a repair,
// an uninstall or an update, in the window or without a person.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "operations/installed_packages.h"
#include "operations/operation_context.h"
#include "releases/release_lookup.h"
#include "shell/command_line.h"

namespace zid {

struct CommandResult {
    std::optional<DWORD> Code;  // Windows Installer's result, or the program's own; none: nothing ran
    std::wstring Title;         // "Repair Velonar 5.45.3 (64 bit)": what was run, or was to be
    std::wstring Text;          // why, when the code is the program's own (1605, 1639); else empty
};

// The installed record that /repair or /uninstall acts on: of build is64Bit, or of the only build
// installed when none is named, of several the newest. Null with refusal set to 1605 (none installed)
// or 1639 (both builds, none named).
const InstalledPackage* ChooseInstalled(const std::vector<InstalledPackage>& records, std::optional<bool> is64Bit,
                                        DWORD& refusal);

// "Repair Velonar", "Install Velonar", ...: what command runs, before anything is known of it.
std::wstring CommandTitle(const CommandLine& command);

// Runs command's package, repair, uninstall or update in context; installed is the list it acts on
// and website the source of /update's release. The build of a repair or uninstall that names none is
// the only one installed (of several of one build the newest).
CommandResult RunCommand(const CommandLine& command, const OperationContext& context, IInstalledPackages& installed,
                         CWebsitePackageSource& website);

}  // namespace zid
