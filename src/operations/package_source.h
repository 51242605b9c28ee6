// Another copy of an installed release's package, for when Windows Installer's own copy and the
// package the product was installed from are both gone (repair and uninstall then end with 1612).
// The copy comes from above this layer (the product website); the operation context hands it down.
#pragma once

#include <windows.h>

#include <string>

#include "operations/operation.h"
#include "operations/operation_context.h"
#include "packages/installed_package.h"

namespace zid {

// What a source found for one installed release.
struct PackageOffer {
    std::wstring Url;      // the package's address; empty when there is none
    std::wstring Problem;  // when there is none: why, as a sentence for the question
};

class IPackageSource {
public:
    // Looks for a package of exactly package's version and build; may pump messages while it
    // reads, shows nothing.
    virtual PackageOffer Find(const InstalledPackage& package) = 0;
    // Downloads url, with its progress shown; the saved file's path, or empty when it did not
    // arrive (the user has been told why).
    virtual std::wstring Download(const std::wstring& url) = 0;

protected:
    ~IPackageSource() = default;
};

// Whether a package file may stand in for an installation's missing package.
struct StandInCheck {
    std::wstring Reason;     // why not, as a phrase for a sentence; empty when it may
    bool Untrusted = false;  // not the maker's verified package: nothing of it is to be kept
};

// Whether the package file at path, held open as held (its signature is checked through it), may stand
// in for package's missing one: its signature verifies and is the maker's, Windows Installer knows the
// installation's package code (package.PackageCode) and the file's ProductCode and package code are
// the installed product's.
StandInCheck CheckStandInPackage(HANDLE held, const std::wstring& path, const InstalledPackage& package);

enum class StandInAnswer {
    Using,   // the fetched package passed its checks and is request's PackagePath now
    GoOn,    // nothing fetched: ask on as before (note says why, if there is something to say)
    Cancel,  // the user chose Cancel, or the package the user chose to fetch failed (reported)
};

// For a repair or uninstall of which Windows Installer has no package left: asks the package source
// for the same release and offers to fetch it (taken as Yes in basic UI mode), then checks it.
StandInAnswer OfferStandInPackage(OperationRequest& request, std::wstring& note, const OperationContext& context);

}  // namespace zid
