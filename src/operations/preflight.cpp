#include "operations/preflight.h"

#include <windows.h>
#include <msi.h>

#include "operations/package_source.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

// Held by Windows Installer while it runs an installation; a second one then ends with 1618.
constexpr wchar_t kExecuteMutex[] = L"Global\\_MSIExecute";
constexpr wchar_t kContinueAnyway[] = L"\r\n\r\nContinue anyway?";

struct RestartMarker {
    const wchar_t* Key;
    const wchar_t* Value;  // null: the key's presence is the marker
    const wchar_t* Name;
};
constexpr RestartMarker kRestartMarkers[] = {
    {L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", L"PendingFileRenameOperations",
     L"files to replace at the next start"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending", nullptr,
     L"Windows component servicing"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired", nullptr,
     L"Windows Update"},
};

// The names of the markers of a pending restart that are present.
std::wstring PendingRestartMarkers() {
    std::wstring names;
    for (const RestartMarker& marker : kRestartMarkers) {
        CRegKey key;
        if (key.OpenKey(HKEY_LOCAL_MACHINE, marker.Key, KEY_READ | KEY_WOW64_64KEY) != ERROR_SUCCESS)
            continue;
        DWORD size = 0;
        // A rename list holds at least one name and its terminators when it is not empty.
        if (marker.Value &&
            (RegQueryValueExW(key.get(), marker.Value, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
             size <= 2 * sizeof(wchar_t)))
            continue;
        names += names.empty() ? marker.Name : std::wstring(L", ") + marker.Name;
    }
    return names;
}

bool FileExists(const std::wstring& path) {
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Repair and uninstall need the product registered with Windows Installer and a package to work from.
void CheckInstalledProduct(const InstalledPackage& package, const wchar_t* operation, IWindowsInstaller& installer,
                           std::vector<PreflightFinding>& findings) {
    const wchar_t* product = package.ProductCode.c_str();
    if (installer.QueryProductState(product) != INSTALLSTATE_DEFAULT) {
        findings.push_back({L"Check: Windows Installer does not know this installation (" +
                                ShownValue(package.ProductCode) +
                                L"): only its entry in the list of installed programs is left.",
                            std::wstring(operation) +
                                L" cannot work: Windows Installer does not know this installation of Velonar; only "
                                L"its entry in the list of installed programs is left." +
                                kContinueAnyway});
        return;
    }
    const std::wstring cached = installer.GetProductInfo(product, INSTALLPROPERTY_LOCALPACKAGE);
    if (FileExists(cached))
        return;
    const std::wstring source = installer.GetProductInfo(product, INSTALLPROPERTY_INSTALLSOURCE) +
                                installer.GetProductInfo(product, INSTALLPROPERTY_PACKAGENAME);
    const bool sourceGone = !FileExists(source);
    findings.push_back(
        {L"Check: the copy of the package that Windows Installer keeps for this installation is "
         L"missing" +
             (cached.empty() ? std::wstring() : L" (" + ShownText(cached) + L")") +
             (sourceGone ? L", and so is the package it was installed from." : L"."),
         sourceGone ? std::wstring(operation) +
                          L" will most likely fail (1612): Windows Installer has no package of this "
                          L"installation left to work from." +
                          kContinueAnyway
                    : std::wstring(),
         QuestionKind::NoPackageLeft, sourceGone});
}

// question with note as a paragraph of its own before its closing "Continue anyway?".
std::wstring WithNote(const std::wstring& question, const std::wstring& note) {
    const size_t end = question.rfind(kContinueAnyway);
    if (note.empty() || end == std::wstring::npos)
        return question;
    return question.substr(0, end) + L"\r\n\r\n" + note + kContinueAnyway;
}

bool AskToContinue(const PreflightFinding& finding, const std::wstring& note, const OperationContext& context) {
    // Basic UI mode takes the user's consent for granted, as for the program's other questions.
    return context.Options.BasicUi || context.Prompt.Ask({finding.Kind, WithNote(finding.Question, note),
                                                          MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2}) == IDOK;
}

}  // namespace

// The mutex exists while an installation runs. Only its existence is asked: owning it, even for a
// moment, would make an installation that starts at that moment fail with 1618.
bool AnotherInstallationRuns() {
    HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, kExecuteMutex);
    const DWORD error = opened ? ERROR_SUCCESS : GetLastError();
    zid::UniqueHandle mutex(opened);
    return mutex || error == ERROR_ACCESS_DENIED;  // denied: there, but its owner lets nobody open it
}

std::vector<PreflightFinding> CheckBeforeOperation(const OperationRequest& request, IWindowsInstaller& installer) {
    std::vector<PreflightFinding> findings;
    if (AnotherInstallationRuns())
        findings.push_back({L"Check: another installation is in progress.",
                            std::wstring(L"Another installation is in progress: Windows Installer will refuse this "
                                         L"one (1618) until it has ended.") +
                                kContinueAnyway,
                            QuestionKind::AnotherInstallation});
    if (const std::wstring markers = PendingRestartMarkers(); !markers.empty())
        findings.push_back({L"Check: a restart of Windows is pending (" + markers +
                                L"). If the operation fails, restart Windows and try again.",
                            L""});
    if (request.Package && request.Command == OperationCommand::Repair)
        CheckInstalledProduct(*request.Package, L"Repair", installer, findings);
    if (request.Package && request.Command == OperationCommand::Uninstall)
        CheckInstalledProduct(*request.Package, L"Uninstall", installer, findings);
    return findings;
}

bool ConfirmBeforeOperation(OperationRequest& request, const OperationContext& context) {
    for (const PreflightFinding& finding : CheckBeforeOperation(request, context.Installer)) {
        context.Prompt.Log(finding.Line);
        if (finding.Question.empty())
            continue;
        std::wstring note;
        if (finding.PackagesGone && request.Package) {
            const StandInAnswer answer = OfferStandInPackage(request, note, context);
            if (answer == StandInAnswer::Cancel)
                return false;
            if (answer == StandInAnswer::Using)
                continue;
        }
        if (!AskToContinue(finding, note, context))
            return false;
    }
    return true;
}

}  // namespace zid
