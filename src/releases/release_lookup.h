// One release looked up in the website's catalogue, without the website page: for an installation
// whose packages are all gone, the same release from the website (repair and uninstall ask for it).
#pragma once

#include <windows.h>

#include <string>

#include "operations/package_source.h"
#include "releases/download_context.h"

namespace zid {

class CHtmlParser;

// The link of the release of exactly version (packed) in a parsed Download.htm (current release)
// or Archive.htm (the table of the build), as the website page reads them; empty when not listed.
std::wstring FindReleaseLink(const CHtmlParser& parser, bool archive, DWORD version, bool is64Bit);

// Milliseconds the look-up of a release on the website may take at most, both pages together.
inline constexpr DWORD kLookupDeadline = 60000;

// The package source of repair and uninstall: the product website's catalogue and the same download
// as Download && Install (progress dialog, partial file, cancel, resume).
class CWebsitePackageSource final : public IPackageSource {
public:
    CWebsitePackageSource(const DownloadContext& context, DWORD deadline = kLookupDeadline)
        : m_context(context), m_deadline(deadline) {}

    // Reads Download.htm, then (when the release is not the current one) Archive.htm, each with its
    // progress shown and nothing else to be started meanwhile; the user's Cancel or the deadline ends
    // the look-up with nothing found (the problem says which).
    PackageOffer Find(const InstalledPackage& package) override;
    std::wstring Download(const std::wstring& url) override;
    // The current release of the build, as Download.htm names it (the same look-up as Find).
    PackageOffer FindCurrent(bool is64Bit);

private:
    const DownloadContext& m_context;
    DWORD m_deadline;  // milliseconds
};

}  // namespace zid
