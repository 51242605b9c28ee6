// Another copy of an installed release's package, for when Windows Installer's own copy and the
// package the product was installed from are both gone (repair and uninstall then end with 1612).
// The copy comes from above this layer (the product website); it is handed in at start-up.
#pragma once

#include <windows.h>

#include <string>

#include "operations/operation.h"
#include "packages/installed_package.h"

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
    // Downloads url, with progress shown and owned by owner; the saved file's path, or empty when
    // it did not arrive (the user has been told why).
    virtual std::wstring Download(HWND owner, const std::wstring& url) = 0;

protected:
    ~IPackageSource() = default;
};

// The source that repair and uninstall may ask, or null (the default: none).
IPackageSource* PackageSource();
void SetPackageSource(IPackageSource* source);

// Why the package file at path may not stand in for package's missing one, as a sentence, or empty
// when it may: its signature verifies, and its ProductCode and package code are the installed
// product's (package.PackageCode, as Windows Installer recorded it).
std::wstring CheckStandInPackage(const std::wstring& path, const InstalledPackage& package);

enum class StandInAnswer {
    Using,   // the fetched package passed its checks and is request's PackagePath now
    GoOn,    // nothing fetched: ask on as before (note says why, if there is something to say)
    Cancel,  // the user chose Cancel, or the package the user chose to fetch failed (reported)
};

// For a repair or uninstall of which Windows Installer has no package left: asks the package source
// for the same release and offers to fetch it (taken as Yes in basic UI mode), then checks it.
StandInAnswer OfferStandInPackage(OperationRequest& request, std::wstring& note);
