// One release looked up in the website's catalogue, without the website page: for an installation
// whose packages are all gone, the same release from the website (repair and uninstall ask for it).
#pragma once

#include <windows.h>

#include <string>

#include "operations/package_source.h"

class CHtmlParser;

// The link of the release of exactly version (packed) in a parsed Download.htm (current release)
// or Archive.htm (the table of the build), as the website page reads them; empty when not listed.
std::wstring FindReleaseLink(const CHtmlParser& parser, bool archive, DWORD version, bool is64Bit);

// The package source of repair and uninstall: the product website's catalogue and the same download
// as Download && Install (progress dialog, partial file, cancel, resume).
class CWebsitePackageSource final : public IPackageSource {
public:
    // Reads Download.htm, then (when the release is not the current one) Archive.htm, pumping
    // messages meanwhile.
    PackageOffer Find(const InstalledPackage& package) override;
    std::wstring Download(HWND owner, const std::wstring& url) override;
};
