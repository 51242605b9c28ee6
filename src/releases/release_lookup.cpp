#include "releases/release_lookup.h"

#include <cwchar>

#include "html/html_parser.h"
#include "net/download_engine.h"
#include "net/download_request.h"
#include "net/local_file.h"
#include "operations/known_builds.h"
#include "packages/inventory.h"
#include "releases/catalogue_pages.h"
#include "releases/catalogue_read.h"
#include "releases/download_install.h"
#include "releases/website_address.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/program.h"

namespace {

constexpr wchar_t kProductPrefix[] = L"Velonar ";
constexpr DWORD kWaitSlice = 100;  // milliseconds between passes of the pump at the latest

// The packed version that a link text like "Velonar 5.30.2 for Windows" names, or 0.
DWORD VersionOfLinkText(const std::wstring& text) {
    std::wstring name;
    if (!PackageNameOf(text, name))
        return 0;
    return MakePackedVersion(name.substr(std::wcslen(kProductPrefix)));
}

// The href of anchor when it is a link whose text names version, else empty.
std::wstring LinkOfVersion(const CHtmlElement* anchor, DWORD version) {
    if (!anchor || anchor->GetTagNameA() != "a" || VersionOfLinkText(anchor->m_text) != version)
        return {};
    const wchar_t* href = anchor->GetHref();
    return href ? href : L"";
}

// The lookup's own requests of the two pages, apart from the website page's. Never destroyed: a
// download still running when the program exits may write to them.
DownloadRequest& LookupRequest(int index) {
    static DownloadRequest* requests =
        new DownloadRequest[2]{{L"", DownloadKind::CurrentRelease}, {L"", DownloadKind::Archive}};
    return requests[index];
}

// Downloads catalogue page index (0 Download.htm, 1 Archive.htm) into memory and parses it, pumping
// messages meanwhile; false with problem set to what went wrong.
bool ReadCataloguePage(int index, CHtmlParser& parser, std::wstring& problem) {
    DownloadRequest& request = LookupRequest(index);
    if (IsInProgress(request)) {
        problem = request.Url + L": still busy with an earlier look-up";
        return false;
    }
    request.Url = CatalogueRequest(index).Url;
    CVNInet* engine = DownloadEngine();
    if (!engine || !engine->Start(request, nullptr)) {
        const DWORD error = engine ? GetLastError() : static_cast<DWORD>(ERROR_INVALID_HANDLE);
        problem = request.Url + L": " + GetErrorText(error);
        return false;
    }
    while (IsInProgress(request) && !Pump().Quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kWaitSlice, kWakeOnAnyInput);
        PumpMessages();
    }
    if (IsInProgress(request)) {
        problem = request.Url + L": the program is closing";
        return false;
    }
    if (request.ErrorCode != 0) {
        problem = request.Url + L": " + GetErrorText(request.ErrorCode, request.ErrorText);
        return false;
    }
    if (request.HttpStatus != 200) {
        problem = request.Url + L": HTTP status code " + std::to_wstring(request.HttpStatus);
        return false;
    }
    parser.Parse(PageText(request.Data).c_str());
    return true;
}

}  // namespace

std::wstring FindReleaseLink(const CHtmlParser& parser, bool archive, DWORD version, bool is64Bit) {
    if (!archive) {
        const CHtmlElement* release = parser.FindById(is64Bit ? L"vncurrent64" : L"vncurrent32");
        return LinkOfVersion(release ? release->FindByTag(L"a") : nullptr, version);
    }
    const CHtmlElement* table = parser.FindById(is64Bit ? L"archive64bit" : L"archive32bit");
    for (const CHtmlElement* row = table ? table->FindByTag(L"tr") : nullptr; row; row = row->m_next) {
        const CHtmlElement* cell = row->m_firstChild;
        if (std::wstring link = LinkOfVersion(cell ? cell->m_firstChild : nullptr, version); !link.empty())
            return link;
    }
    return {};
}

PackageOffer CWebsitePackageSource::Find(const InstalledPackage& package) {
    const std::wstring release = FormatVersion(package.Version) + L" (" + BuildLabel(package.Is64Bit) + L")";
    // Nothing else may be started from the window while the pages come.
    HWND main = MainWindow();
    const bool wasEnabled = !EnableWindow(main, FALSE);
    zid::scope_exit enable([main, wasEnabled] { EnableWindow(main, wasEnabled); });
    for (int index = 0; index < 2; ++index) {
        CHtmlParser parser;
        std::wstring problem;
        if (!ReadCataloguePage(index, parser, problem))
            return {L"", L"The product website's list of releases could not be read (" + problem +
                             L"), so it cannot offer release " + release + L"."};
        const std::wstring link = FindReleaseLink(parser, index == 1, package.Version, package.Is64Bit);
        if (link.empty())
            continue;
        const std::wstring url = GetWebsiteBase() + link;
        if (std::wstring name; !DownloadFileName(url, name))
            return {L"", L"The product website lists release " + release + L", but its link does not name a package (" +
                             url + L")."};
        return {url, L""};
    }
    return {L"", L"The product website lists no release " + release + L"."};
}

std::wstring CWebsitePackageSource::Download(HWND, const std::wstring& url) {
    std::wstring saved;
    return DownloadPackage(url, saved) ? saved : std::wstring();
}
