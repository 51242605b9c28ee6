// What the operations are handed from above: how to talk to the user, how to wait, what runs Windows
// Installer, the settings they read and the copy of a package they may fetch.
#pragma once

#include "operations/prompt.h"
#include "operations/waiter.h"
#include "operations/windows_installer.h"
#include "win/platform.h"
#include "win/settings.h"

#include <string>

namespace zid {

class IPackageSource;

// The user's choices that operations follow, as they are when an operation starts.
struct OperationOptions {
    bool Logging = true;   // "Show Installer log files": each operation writes a log file
    bool BasicUi = false;  // Windows Installer's basic interface; the program's questions taken as agreed
    // A run without a person: Windows Installer's interface for every operation (INSTALLUILEVEL_NOCHANGE:
    // none of that, the interface follows BasicUi). Another installation in progress then ends an
    // operation with 1618 instead of a question.
    INSTALLUILEVEL UnattendedUi = INSTALLUILEVEL_NOCHANGE;
    std::wstring LogFile;  // the log file of every operation, appended to; empty: a new one in %TEMP%
};

struct OperationContext {
    IPrompt& Prompt;
    IWaiter& Waiter;
    IWindowsInstaller& Installer;
    const OperationOptions& Options;
    CSettingsStore& Settings;          // the recent packages
    const PlatformFacts& Platform;     // under Wine the log file has no report
    IPackageSource* Source = nullptr;  // another copy of a release whose packages are gone; null: none
};

}  // namespace zid
