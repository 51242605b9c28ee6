#include "operations/install_flow.h"

#include "operations/known_builds.h"
#include "operations/leftover_entry.h"
#include "operations/package_trust.h"
#include "operations/runner.h"
#include "operations/uninstall.h"
#include "packages/inventory.h"
#include "packages/msi_file.h"
#include "packages/signature.h"
#include "win/file_io.h"
#include "win/handles.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

// What the flow reads from the package before it is closed again.
struct PackageFacts {
    std::wstring UpgradeCode;
    std::wstring BuildConfiguration;
    std::wstring ProductVersion;
    DWORD Version = 0;
    std::wstring PackageCode;
};

// False when the package may not be installed: a file the user chose that is not the maker's
// verified package is asked about; one from the website is refused (and deleted, held no more).
bool AcceptSignature(const std::wstring& path, UniqueFile& held, PackageOrigin origin, IPrompt& prompt) {
    const std::wstring reason = NotTheMakersSignature(CheckFileSignature(held.get(), path));
    if (reason.empty())
        return true;
    if (origin == PackageOrigin::ChosenFile)
        return prompt.Ask({QuestionKind::UntrustedPackage, ShownText(path) + L": " + reason,
                           MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2}) == IDOK;
    prompt.Log(L"Install: Refused: " + reason);
    held.reset();
    const bool deleted = DeleteFileW(path.c_str()) != FALSE;
    prompt.Tell(ShownText(path) + L": " + reason +
                    L"\r\n\r\nA package from the website is installed only when it carries the "
                    L"signature of " +
                    kProductMaker + L", the maker of Velonar. It was not installed" +
                    (deleted ? L" and has been deleted." : L"."),
                MB_OK | MB_ICONERROR);
    return false;
}

// False (after reporting) when the package cannot be opened.
bool ReadPackage(const std::wstring& path, PackageFacts& facts, IPrompt& prompt) {
    CMsiFile package;
    package.Open(path);
    if (package.OpenResult() != ERROR_SUCCESS) {
        TellError(prompt, ShownText(path), package.OpenResult());
        return false;
    }
    facts.UpgradeCode = package.GetProperty(L"UpgradeCode");
    facts.BuildConfiguration = package.GetProperty(L"BuildConfiguration");
    facts.ProductVersion = package.GetProperty(L"ProductVersion");
    facts.Version = MakePackedVersion(facts.ProductVersion);
    facts.PackageCode = package.GetPackageCode();
    return true;
}

bool Conflicts(const InstalledPackage& record, bool is64Bit, DWORD version) {
    return record.Is64Bit == is64Bit && CompareVersions(record.Version, version) >= 0;
}

// A copy of the first installed record of the same build at an equal or higher version that Windows
// Installer knows, or nothing. A copy, because the question about it lets a posted refresh rebuild
// the records.
std::optional<InstalledPackage> FindConflict(const std::vector<InstalledPackage>& records, bool is64Bit, DWORD version,
                                             IWindowsInstaller& installer) {
    for (const InstalledPackage& record : records) {
        if (Conflicts(record, is64Bit, version) && !IsLeftoverEntry(record, installer))
            return record;
    }
    return std::nullopt;
}

// Offers the removal of each conflicting entry that only Programs and Features still has; it would
// otherwise be an uninstall that fails. The records are refreshed after any offer.
void OfferLeftoverConflicts(const OperationContext& context, bool is64Bit, DWORD version,
                            IInstalledPackages& installed) {
    std::vector<InstalledPackage> leftovers;
    for (const InstalledPackage& record : installed.Records()) {
        if (Conflicts(record, is64Bit, version) && IsLeftoverEntry(record, context.Installer))
            leftovers.push_back(record);
    }
    // Whatever the answers, the install goes on: Windows Installer itself never reads these entries.
    for (const InstalledPackage& leftover : leftovers)
        OfferLeftoverRemoval(context, leftover, OperationCommand::Uninstall, installed);
    if (!leftovers.empty())
        installed.Refresh();
}

// The question about a conflicting record; empty when the same package is installed again.
std::wstring ConflictQuestion(const InstalledPackage& record, const PackageFacts& facts, const wchar_t* label) {
    const std::wstring packageVersion = FormatVersion(facts.Version);
    if (CompareVersions(record.Version, facts.Version) > 0)
        return std::wstring(L"You have a newer ") + label +
               L" version already installed.\r\nWould you like to uninstall version " + FormatVersion(record.Version) +
               L" before installing version " + packageVersion + L"?";
    if (record.PackageCode != facts.PackageCode)
        return std::wstring(L"You have a different ") + label + L" build of version " + packageVersion +
               L" already installed.\r\nWould you like to uninstall it?";
    return {};
}

}  // namespace

std::optional<DWORD> InstallPackage(const OperationContext& context, const std::wstring& path,
                                    IInstalledPackages& installed, PackageOrigin origin) {
    IPrompt& prompt = context.Prompt;
    const bool basicUi = context.Options.BasicUi;
    // Held from the signature check until Windows Installer is done with it: nobody can change it meanwhile.
    UniqueFile held;
    if (const DWORD error = OpenHeldFile(path, held)) {
        TellError(prompt, ShownText(path), error);
        return std::nullopt;
    }
    if (!AcceptSignature(path, held, origin, prompt))
        return std::nullopt;
    PackageFacts facts;
    if (!ReadPackage(path, facts, prompt))
        return std::nullopt;

    const int build = FindBuild(facts.UpgradeCode);
    if (build < 0) {
        prompt.Tell(ShownText(path) + L" is not a Velonar installation package", MB_OK | MB_ICONERROR);
        return std::nullopt;
    }
    const bool is64Bit = build == 1;
    const wchar_t* label = BuildLabel(is64Bit);
    if (!basicUi && facts.BuildConfiguration == L"Debug" &&
        prompt.Ask({QuestionKind::DebugBuild,
                    ShownText(path) + L" is a Debug build,\r\nwhich will not install correctly on all systems.",
                    MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2}) != IDOK)
        return std::nullopt;

    context.Settings.AddRecentPackage(path);
    installed.Refresh();

    OfferLeftoverConflicts(context, is64Bit, facts.Version, installed);
    if (const std::optional<InstalledPackage> conflict =
            FindConflict(installed.Records(), is64Bit, facts.Version, context.Installer)) {
        const std::wstring question = ConflictQuestion(*conflict, facts, label);
        if (!question.empty()) {
            const std::wstring installing = FormatVersion(facts.Version) + L" (" + label + L")";
            int answer = IDYES;
            if (!basicUi)
                answer = prompt.Ask({QuestionKind::ConflictingInstallation,
                                     L"Installing version " + installing + L":\r\n\r\n" + question +
                                         L"\r\n\r\n(If you say \"No\", your install will likely fail.)",
                                     MB_YESNOCANCEL | MB_ICONQUESTION});
            if (answer == IDCANCEL) {
                prompt.Log(L"Install " + installing + L": Canceled");
                return std::nullopt;
            }
            if (answer == IDYES && !UninstallRecord(context, *conflict, path, installed))
                return std::nullopt;
        }
    }

    OperationRequest request;
    request.Command = OperationCommand::Install;
    request.PackagePath = path;
    const std::optional<DWORD> result = RunOperation(request, context);
    installed.PostRefresh();
    return result;
}

}  // namespace zid
