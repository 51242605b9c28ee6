// The release catalogue: the two pages of the product website that list the releases, downloaded
// one after the other into memory and read into the website page's list.
#pragma once

#include <string>

namespace zid {

struct DownloadRequest;
class CVNInet;
class ICatalogueView;

// The download request of catalogue page 0 ("Download.htm") or 1 ("Archive.htm"); both live for the
// whole process and are reused by every refresh.
DownloadRequest& CatalogueRequest(int index);

// Sets both pages' addresses to the website base address followed by the page name; start-up calls it
// once, before any download.
void MakeCataloguePagesAbsolute(const std::wstring& base);

// Whether either page is being downloaded.
bool IsCatalogueLoading();

// Empties the list and starts reading both pages afresh, unless they are being read already; the
// status line shows "Downloading data..." or why the first page could not be started.
void RefreshCatalogue(ICatalogueView& page, CVNInet& engine);

// Starts the download of page index (no progress window). True with message emptied; false with
// message set to "<url>: <error text>".
bool StartCataloguePage(int index, CVNInet& engine, std::wstring& message);

// Takes a finished download of a catalogue page into the website page: the current release, then
// (after starting Archive.htm) the archive rows; the status line tells what failed. The request
// stays with the catalogue; any other request is left alone.
void OnCataloguePageFinished(DownloadRequest& request, ICatalogueView& page, CVNInet& engine);

}  // namespace zid
