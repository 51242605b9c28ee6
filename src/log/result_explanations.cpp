#include "log/result_explanations.h"

#include <algorithm>
#include <iterator>

#include "log/log_text.h"

namespace zid {

namespace {

constexpr int kUserCancelled = 1602;
constexpr int kFatalError = 1603;
constexpr int kFunctionFailed = 1627;
constexpr int kCustomActionFailed = 1722;

constexpr const wchar_t* kRetryAsAdministrator = L"Run ZIDezureziv as an administrator, then try again.";
constexpr const wchar_t* kReinstallFromPackage = L"Install the same version again from its .msi file, then try again.";
constexpr const wchar_t* kScriptNotRun =
    L"Why: Windows Installer could not run its installation script, usually because it may not use the temporary "
    L"folder";

// A code known here: what happened, what to do (may be empty), and whether a log shows the code as a message or
// note of its own. 1602, 1603 and 1627 are results only: in a log those numbers name other messages.
struct CodeText {
    int Code;
    bool Logged;
    const wchar_t* Reason;
    const wchar_t* Advice;
};

constexpr CodeText kCodeTexts[] = {
    {kResultRestartNeeded, false, L"The operation succeeded; restart Windows to complete it", L""},
    {kResultRestartStarted, false,
     L"The operation succeeded; Windows Installer has started a restart of Windows to complete it", L""},
    {kUserCancelled, false, L"Why: the operation was cancelled before it ended", L"Run it again and let it finish."},
    {kFatalError, false, L"Why: a fatal error ended the operation", L"The log file shows where it happened."},
    {kFunctionFailed, false, L"Why: a step of the operation failed while it ran", L"The log file shows which."},
    {1612, true, L"Why: the package this version of Velonar was installed from is no longer available",
     kReinstallFromPackage},
    {1618, true, L"Why: another installation was in progress", L"Wait until it ends, then try again."},
    {1619, true, L"Why: the package file could not be opened",
     L"Check that it exists and can be read, or download it again."},
    {1620, true, L"Why: the file is not a valid Windows Installer package",
     L"It may be damaged or only partly downloaded: download it again."},
    {1625, true, L"Why: a system policy forbids this installation", L"Ask the administrator of this PC."},
    {1638, true, L"Why: another version of Velonar is already installed", L"Uninstall it first, then try again."},
    {1639, true, L"Why: Windows Installer did not accept the options of this operation", L""},
    {1706, true, L"Why: Windows Installer could not find a valid package for this product", kReinstallFromPackage},
    {kCustomActionFailed, true, L"Why: a program run as part of the setup did not finish as expected", L""},
    {1925, true, L"Why: you do not have sufficient privileges to install Velonar for all users of this PC",
     kRetryAsAdministrator},
    {2502, true, kScriptNotRun, kRetryAsAdministrator},
    {2503, true, kScriptNotRun, kRetryAsAdministrator},
};

const CodeText* Find(int code) {
    const auto found = std::find_if(std::begin(kCodeTexts), std::end(kCodeTexts),
                                    [code](const CodeText& entry) { return entry.Code == code; });
    return found == std::end(kCodeTexts) ? nullptr : found;
}

// "Reason (code)." and the advice after one space.
std::wstring Line(const std::wstring& reason, int code, const std::wstring& advice) {
    std::wstring line = reason + L" (" + std::to_wstring(code) + L").";
    if (!advice.empty())
        line += L" " + advice;
    return line;
}

std::wstring Line(const CodeText& entry) {
    return Line(entry.Reason, entry.Code, entry.Advice);
}

// The custom action the 1722 message named, else the action that failed; without either the plain line.
std::wstring CustomActionLine(const CodeText& entry, const LogFindings& findings) {
    const std::string& action = findings.CustomAction.empty() ? findings.FailedAction : findings.CustomAction;
    if (action.empty())
        return Line(entry);
    return Line(L"Why: a program run as part of the setup, the custom action " + WidenLatin1(action) +
                    L", did not finish as expected",
                entry.Code, entry.Advice);
}

}  // namespace

bool IsFailedResult(int result) {
    return result != kResultSuccess && result != kResultRestartNeeded && result != kResultRestartStarted;
}

std::vector<std::wstring> ExplainResult(int result) {
    const CodeText* entry = Find(result);
    if (!entry)
        return {};
    return {Line(*entry)};
}

std::vector<std::wstring> ExplainFindings(int result, const LogFindings& findings) {
    if (!IsFailedResult(result))
        return ExplainResult(result);
    std::vector<std::wstring> lines;
    if ((result == kFatalError || result == kFunctionFailed) && !findings.FailedAction.empty())
        lines.push_back(Line(L"Why: the operation failed in its step " + WidenLatin1(findings.FailedAction), result,
                             L"Windows Installer undid what it had changed."));
    else
        lines = ExplainResult(result);
    // A result of its own says why already; a general one gets the first code of the log known here (later
    // codes are mostly its consequences).
    const CodeText* own = Find(result);
    if (own && own->Logged)
        return lines;
    for (int code : findings.Codes) {
        const CodeText* entry = Find(code);
        if (!entry || !entry->Logged)
            continue;
        lines.push_back(code == kCustomActionFailed ? CustomActionLine(*entry, findings) : Line(*entry));
        break;
    }
    return lines;
}

}  // namespace zid
