// The two pages of the product website that list the releases.
#pragma once

#include <string>

struct DownloadRequest;
class CWebsitePage;

// Address of catalogue page 0 ("Download.htm") or 1 ("Archive.htm").
const std::wstring& CataloguePageUrl(int index);

// Puts the website base address in front of both page names; called once at start-up.
void MakeCataloguePagesAbsolute();

// Takes a finished download of a catalogue page into the website page; the request stays with the
// catalogue.
void OnCataloguePageFinished(DownloadRequest& request, CWebsitePage& page);
