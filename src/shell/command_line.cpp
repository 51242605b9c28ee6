#include "shell/command_line.h"

#include <cwctype>

namespace zid {

namespace {

// The switch name in lower case ("/quiet"), or empty for a plain argument.
std::wstring SwitchName(const std::wstring& argument) {
    if (argument.empty() || argument[0] != L'/')
        return {};
    std::wstring name;
    for (wchar_t c : argument)
        name += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return name;
}

CommandAction OperationOf(const std::wstring& name) {
    if (name == L"/repair")
        return CommandAction::Repair;
    if (name == L"/uninstall")
        return CommandAction::Uninstall;
    if (name == L"/update")
        return CommandAction::Update;
    return CommandAction::None;
}

CommandLine Malformed(CommandLine line, std::wstring problem) {
    line.Action = CommandAction::Malformed;
    line.Problem = std::move(problem);
    return line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLine line;
    bool anySwitch = false;
    for (const std::wstring& argument : arguments) {
        const std::wstring name = SwitchName(argument);
        anySwitch = anySwitch || !name.empty();
        if (name == L"/quiet")
            line.Mode = RunMode::Quiet;
    }
    if (arguments.empty())
        return line;
    if (!anySwitch) {
        if (arguments.size() > 1) {
            line.Action = CommandAction::Usage;
            return line;
        }
        line.Action = CommandAction::Package;
        line.Package = arguments[0];
        return line;
    }

    bool modeGiven = false;
    bool logGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const std::wstring name = SwitchName(argument);
        const bool operationGiven = line.Action != CommandAction::None;
        if (name.empty()) {
            if (operationGiven)
                return Malformed(line, L"\"" + argument + L"\" is one argument too many.");
            line.Action = CommandAction::Package;
            line.Package = argument;
        } else if (name == L"/quiet" || name == L"/passive") {
            if (modeGiven)
                return Malformed(line, L"/quiet and /passive may be given once, and only one of them.");
            modeGiven = true;
            line.Mode = name == L"/quiet" ? RunMode::Quiet : RunMode::Passive;
        } else if (name == L"/log") {
            if (logGiven || i + 1 == arguments.size() || arguments[i + 1].empty() ||
                !SwitchName(arguments[i + 1]).empty())
                return Malformed(line, L"/log needs the name of the log file after it, once.");
            logGiven = true;
            line.LogFile = arguments[++i];
        } else if (const CommandAction operation = OperationOf(name); operation != CommandAction::None) {
            if (operationGiven)
                return Malformed(line, argument + L": only one operation can be given.");
            line.Action = operation;
            if (i + 1 < arguments.size() && (arguments[i + 1] == L"32" || arguments[i + 1] == L"64"))
                line.Is64Bit = arguments[++i] == L"64";
        } else if (name == L"/list" || name == L"/?") {
            if (arguments.size() != 1 && !(name == L"/?" && line.Mode == RunMode::Quiet && arguments.size() == 2))
                return Malformed(line, argument + L" stands alone.");
            line.Action = name == L"/list" ? CommandAction::List : CommandAction::Help;
        } else {
            return Malformed(line, L"Unknown switch " + argument + L".");
        }
    }
    if (line.Action == CommandAction::None)
        return Malformed(line, L"Nothing to do: name a package file, /repair, /uninstall or /update.");
    return line;
}

std::wstring CommandLineSyntax() {
    return L"ZIDezureziv.exe [/quiet | /passive] [/log FILE] [MSI_file | /repair [32|64] | /uninstall [32|64] | "
           L"/update [32|64]]\r\n"
           L"ZIDezureziv.exe /list\r\n"
           L"ZIDezureziv.exe /?\r\n"
           L"\r\n"
           L"/quiet\tno window at all; every question gets its fixed answer\r\n"
           L"/passive\tprogress only; every question gets its fixed answer\r\n"
           L"/log FILE\tthe log file of the run (replaced if it exists)\r\n"
           L"MSI_file\tinstalls the package file\r\n"
           L"/repair\trepairs the installed Velonar of the build (32 or 64; without: the one installed)\r\n"
           L"/uninstall\tremoves the installed Velonar of the build\r\n"
           L"/update\tinstalls the website's current release of the build (without: the installed one's)\r\n"
           L"/list\twrites the installed Velonar packages as JSON to standard output\r\n"
           L"\r\n"
           L"Exit codes: Windows Installer's (0, 3010 and 1641 success, 1618 another installation is in "
           L"progress, ...); 1 refused or answered No; 1605 nothing of that build installed; 1639 a malformed "
           L"command line.";
}

}  // namespace zid
