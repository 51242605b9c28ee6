#include "releases/catalogue_pages.h"

#include "releases/website_address.h"

namespace {
std::wstring g_pageUrls[2] = {L"Download.htm", L"Archive.htm"};
}

const std::wstring& CataloguePageUrl(int index) {
    return g_pageUrls[index];
}

void MakeCataloguePagesAbsolute() {
    const std::wstring base = GetWebsiteBase();
    for (std::wstring& url : g_pageUrls)
        url.insert(0, base);
}

void OnCataloguePageFinished(DownloadRequest&, CWebsitePage&) {}
