#include "operations/package_source.h"

#include "log/installer_log.h"
#include "operations/basic_ui.h"
#include "operations/known_builds.h"
#include "packages/inventory.h"
#include "packages/msi_file.h"
#include "packages/signature.h"
#include "win/message_box.h"
#include "win/program.h"

namespace {

IPackageSource* g_source = nullptr;

// GUIDs as Windows Installer writes them may differ in case only.
bool SameGuid(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

IPackageSource* PackageSource() {
    return g_source;
}

void SetPackageSource(IPackageSource* source) {
    g_source = source;
}

std::wstring CheckStandInPackage(const std::wstring& path, const InstalledPackage& package) {
    std::wstring signature;
    if (!VerifySignature(path, signature))
        return L"its signature does not verify (" + signature + L")";
    CMsiFile file;
    file.Open(path);
    if (file.OpenResult() != ERROR_SUCCESS)
        return L"it cannot be opened as a Windows Installer package";
    const std::wstring product = file.GetProperty(L"ProductCode");
    if (!SameGuid(product, package.ProductCode))
        return L"it is another product (ProductCode " + product + L", installed " + package.ProductCode + L")";
    // The record's package code is the one Windows Installer recorded, read with the list.
    const std::wstring& installed = package.PackageCode;
    const std::wstring code = file.GetPackageCode();
    if (!SameGuid(code, installed))
        return L"it is another build of this release (package code " + code + L", installed " +
               (installed.empty() ? std::wstring(L"unknown") : installed) + L")";
    return {};
}

StandInAnswer OfferStandInPackage(OperationRequest& request, std::wstring& note) {
    IPackageSource* source = PackageSource();
    if (!source || !request.Package || request.Command == OperationCommand::Install)
        return StandInAnswer::GoOn;
    const InstalledPackage& package = *request.Package;
    const bool repair = request.Command == OperationCommand::Repair;
    const std::wstring release =
        L"Velonar " + FormatVersion(package.Version) + L" (" + BuildLabel(package.Is64Bit) + L")";
    const PackageOffer offer = source->Find(package);
    if (offer.Url.empty()) {
        note = offer.Problem;
        AddLogLine((L"Check: " + offer.Problem).c_str());
        return StandInAnswer::GoOn;
    }
    AddLogLine((L"Check: the product website has this release: " + offer.Url).c_str());
    if (!IsBasicUiMode()) {
        const int answer = ShowMessageBox(
            MainWindow(),
            L"Windows Installer has no package of " + release +
                L" left to work from, but the product website lists this release.\r\n\r\nDownload " + release +
                L" from the website and use it to " + (repair ? L"repair?" : L"remove?"),
            kProgramName, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return StandInAnswer::Cancel;
        if (answer != IDYES)
            return StandInAnswer::GoOn;
    }
    const std::wstring path = source->Download(MainWindow(), offer.Url);
    if (path.empty()) {
        AddLogLine(L"Check: the package from the website did not arrive; nothing was run.");
        return StandInAnswer::Cancel;
    }
    if (const std::wstring reason = CheckStandInPackage(path, package); !reason.empty()) {
        AddLogLine((L"Check: " + path + L" was not used: " + reason + L".").c_str());
        ShowMessageBox(MainWindow(),
                       L"The package downloaded from the website cannot be used to " +
                           std::wstring(repair ? L"repair " : L"remove ") + release + L": " + reason +
                           L".\r\n\r\nNothing was run with it. It was left in " + path + L".",
                       kProgramName, MB_OK | MB_ICONERROR);
        return StandInAnswer::Cancel;
    }
    AddLogLine((L"Check: " + std::wstring(repair ? L"repairing" : L"removing") + L" with " + path +
                L", downloaded from the website in place of the missing package: the same product, package code "
                L"and signature as the installed release.")
                   .c_str());
    request.PackagePath = path;
    return StandInAnswer::Using;
}
