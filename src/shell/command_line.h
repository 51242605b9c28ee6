// The program's command line, in the manner of msiexec: what was asked for, read from the split
// arguments. Standard C++ only: no window or system call is involved in reading it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zid {

// Who answers the run's questions and what shows meanwhile.
enum class RunMode {
    Window,   // the main window, its message boxes and dialogs
    Quiet,    // /quiet: no window of the program, Windows Installer without its interface
    Passive,  // /passive: Windows Installer's progress and the download progress only, no question
};

enum class CommandAction {
    None,       // no argument: the window until it is closed
    Package,    // one package file: the install decision, then its result
    Repair,     // /repair [32|64]
    Uninstall,  // /uninstall [32|64]
    Update,     // /update [32|64]: the website's current release of the build
    List,       // /list: the installed packages as JSON on standard output
    Help,       // /?: the syntax
    Usage,      // two or more plain arguments: the usage box of old
    Malformed,  // an unknown switch or a malformed command line (exit 1639)
};

struct CommandLine {
    CommandAction Action = CommandAction::None;
    RunMode Mode = RunMode::Window;
    std::optional<bool> Is64Bit;  // the build named after /repair, /uninstall or /update
    std::wstring Package;         // the package file of CommandAction::Package, as given
    std::wstring LogFile;         // /log FILE, as given; empty: the usual log in the temporary folder
    std::wstring Problem;         // CommandAction::Malformed: what is wrong, as a sentence
};

// What the arguments (without the program's name) ask for. Switches start with "/" and are compared
// without regard to case; /quiet anywhere counts for how a malformed line is answered.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// The syntax, as /? shows it (lines separated by CR LF).
std::wstring CommandLineSyntax();

}  // namespace zid
