#include "operations/package_source.h"

#include "operations/known_builds.h"
#include "operations/package_trust.h"
#include "packages/inventory.h"
#include "packages/msi_file.h"
#include "packages/signature.h"
#include "win/errors.h"
#include "win/file_io.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

// GUIDs as Windows Installer writes them may differ in case only.
bool SameGuid(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

StandInCheck CheckStandInPackage(HANDLE held, const std::wstring& path, const InstalledPackage& package) {
    const SignatureCheck signature = CheckFileSignature(held, path);
    if (!signature.Verified)
        return {L"its signature does not verify (" + signature.Text + L")", true};
    if (signature.Publisher != kProductMaker)
        return {
            L"it is signed by " + SignerPhrase(signature) + L", not by " + kProductMaker + L", the maker of Velonar",
            true};
    // The record's package code is the one Windows Installer recorded, read with the list. Without it no
    // other file can be shown to be the installed package: a ProductCode alone is anyone's to copy.
    const std::wstring& installed = package.PackageCode;
    if (installed.empty())
        return {
            L"Windows Installer does not say which package this installation came from (its package code is "
            L"unknown), so no other copy can be shown to be the same package",
            false};
    CMsiFile file;
    file.Open(path);
    if (file.OpenResult() != ERROR_SUCCESS)
        return {L"it cannot be opened as a Windows Installer package", false};
    const std::wstring product = file.GetProperty(L"ProductCode");
    if (!SameGuid(product, package.ProductCode))
        return {L"it is another product (ProductCode " + ShownValue(product) + L", installed " +
                    ShownValue(package.ProductCode) + L")",
                false};
    const std::wstring code = file.GetPackageCode();
    if (!SameGuid(code, installed))
        return {L"it is another build of this release (package code " + ShownValue(code) + L", installed " +
                    ShownValue(installed) + L")",
                false};
    return {};
}

StandInAnswer OfferStandInPackage(OperationRequest& request, std::wstring& note, const OperationContext& context) {
    IPackageSource* source = context.Source;
    IPrompt& prompt = context.Prompt;
    if (!source || !request.Package || request.Command == OperationCommand::Install)
        return StandInAnswer::GoOn;
    const InstalledPackage& package = *request.Package;
    const bool repair = request.Command == OperationCommand::Repair;
    const std::wstring release =
        L"Velonar " + FormatVersion(package.Version) + L" (" + BuildLabel(package.Is64Bit) + L")";
    const PackageOffer offer = source->Find(package);
    if (offer.Url.empty()) {
        note = offer.Problem;
        prompt.Log(L"Check: " + offer.Problem);
        return StandInAnswer::GoOn;
    }
    prompt.Log(L"Check: the product website has this release: " + ShownText(offer.Url));
    if (!context.Options.BasicUi) {
        const int answer =
            prompt.Ask({QuestionKind::FetchStandIn,
                        L"Windows Installer has no package of " + release +
                            L" left to work from, but the product website lists this release.\r\n\r\nDownload " +
                            release + L" from the website and use it to " + (repair ? L"repair?" : L"remove?"),
                        MB_YESNOCANCEL | MB_ICONQUESTION});
        if (answer == IDCANCEL)
            return StandInAnswer::Cancel;
        if (answer != IDYES)
            return StandInAnswer::GoOn;
    }
    const std::wstring path = source->Download(offer.Url);
    if (path.empty()) {
        prompt.Log(L"Check: the package from the website did not arrive; nothing was run.");
        return StandInAnswer::Cancel;
    }
    // Held from the checks until the operation has ended: what was checked is what runs.
    auto held = std::make_shared<zid::UniqueFile>();
    const DWORD openError = OpenHeldFile(path, *held);
    const StandInCheck check = openError
                                   ? StandInCheck{L"it cannot be opened (" + GetErrorText(openError) + L")", false}
                                   : CheckStandInPackage(held->get(), path, package);
    if (!check.Reason.empty()) {
        std::wstring fate = L"It was left in " + ShownText(path) + L".";
        // Not the maker's: nothing of it is kept.
        if (check.Untrusted) {
            held.reset();
            fate = DeleteFileW(path.c_str()) ? L"It has been deleted."
                                             : L"It could not be deleted: " + ShownText(path) + L".";
        }
        prompt.Log(L"Check: " + ShownText(path) + L" was not used: " + check.Reason + L".");
        prompt.Tell(L"The package downloaded from the website cannot be used to " +
                        std::wstring(repair ? L"repair " : L"remove ") + release + L": " + check.Reason +
                        L".\r\n\r\nNothing was run with it. " + fate,
                    MB_OK | MB_ICONERROR);
        return StandInAnswer::Cancel;
    }
    request.HeldPackage = std::move(held);
    prompt.Log(L"Check: " + std::wstring(repair ? L"repairing" : L"removing") + L" with " + ShownText(path) +
               L", downloaded from the website in place of the missing package: the same product and package code "
               L"as the installed release, signed by " +
               kProductMaker + L".");
    request.PackagePath = path;
    return StandInAnswer::Using;
}

}  // namespace zid
