// The two pages of the product website that list the releases.
#pragma once

#include <string>

struct CDownloadRequest;
struct CWebsitePageState;

// Address of catalogue page 0 ("Download.htm") or 1 ("Archive.htm").
const std::wstring& CataloguePageUrl(int index);

// Puts the website base address in front of both page names; called once at start-up.
void MakeCataloguePagesAbsolute();

// Takes a finished download of catalogue page 0 or 1 into the website page; the caller keeps
// the request.
void OnCataloguePageFinished(CDownloadRequest& request, CWebsitePageState& page);
