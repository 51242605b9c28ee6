#include "releases/release_lookup.h"

#include <cwchar>
#include <memory>

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
#include "win/untrusted_text.h"

namespace zid {

namespace {

constexpr wchar_t kProductPrefix[] = L"Velonar ";

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

// Downloads catalogue page index (0 Download.htm, 1 Archive.htm) into memory and parses it, its
// progress shown (its Cancel stops the look-up) and no later than deadline; false with problem set to
// what went wrong.
bool ReadCataloguePage(const DownloadContext& context, int index, ULONGLONG deadline, DWORD seconds,
                       CHtmlParser& parser, std::wstring& problem) {
    DownloadRequest& request = LookupRequest(index);
    if (IsInProgress(request)) {
        problem = request.Url + L": still busy with an earlier look-up";
        return false;
    }
    request.Url = CatalogueRequest(index).Url;
    auto progress = std::make_shared<DownloadProgress>();
    request.Progress = progress;
    IDownloadView& view = context.View;
    if (!view.Show(progress, request.Url.substr(request.Url.find_last_of(L'/') + 1))) {
        problem = request.Url + L": its progress could not be shown";
        return false;
    }
    scope_exit hide([&view] { view.Hide(); });
    DWORD_PTR transfer = 0;
    if (!context.Engine.Start(request, view.NotifyWindow(), &transfer)) {
        const DWORD error = GetLastError();
        problem = request.Url + L": " + GetErrorText(error);
        return false;
    }
    const DownloadWait ended = view.WaitForEnd(deadline);
    if (ended != DownloadWait::Ended) {
        // Ends it here and now; the request stays for the next look-up.
        context.Engine.Cancel(transfer);
        const wchar_t* why = ended == DownloadWait::Cancelled ? L": cancelled"
                             : ended == DownloadWait::TooLate ? L": no answer within "
                                                              : L": the program is closing";
        problem = request.Url + why + (ended == DownloadWait::TooLate ? std::to_wstring(seconds) + L" seconds" : L"");
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
    const ULONGLONG deadline = GetTickCount64() + m_deadline;
    for (int index = 0; index < 2; ++index) {
        CHtmlParser parser;
        std::wstring problem;
        if (!ReadCataloguePage(m_context, index, deadline, m_deadline / 1000, parser, problem))
            return {L"", L"The product website's list of releases could not be read (" + problem +
                             L"), so it cannot offer release " + release + L"."};
        const std::wstring link = FindReleaseLink(parser, index == 1, package.Version, package.Is64Bit);
        if (link.empty())
            continue;
        const std::wstring url = GetWebsiteBase() + link;
        if (std::wstring name; !DownloadFileName(url, name))
            return {L"", L"The product website lists release " + release + L", but its link does not name a package (" +
                             ShownText(url) + L")."};
        return {url, L""};
    }
    return {L"", L"The product website lists no release " + release + L"."};
}

PackageOffer CWebsitePackageSource::FindCurrent(bool is64Bit) {
    const std::wstring build = BuildLabel(is64Bit);
    CHtmlParser parser;
    std::wstring problem;
    if (!ReadCataloguePage(m_context, 0, GetTickCount64() + m_deadline, m_deadline / 1000, parser, problem))
        return {L"", L"The product website's list of releases could not be read (" + problem + L")."};
    const CHtmlElement* release = parser.FindById(is64Bit ? L"vncurrent64" : L"vncurrent32");
    const CHtmlElement* anchor = release ? release->FindByTag(L"a") : nullptr;
    const wchar_t* href = anchor ? anchor->GetHref() : nullptr;
    if (!href || !*href)
        return {L"", L"The product website names no current release of the " + build + L" build."};
    const std::wstring url = GetWebsiteBase() + href;
    if (std::wstring name; !DownloadFileName(url, name))
        return {L"", L"The link of the current release does not name a package (" + ShownText(url) + L")."};
    return {url, L""};
}

std::wstring CWebsitePackageSource::Download(const std::wstring& url) {
    std::wstring saved;
    return DownloadPackage(m_context, url, saved) ? saved : std::wstring();
}

}  // namespace zid
