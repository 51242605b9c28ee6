#include "releases/catalogue_pages.h"

#include <cstdio>

#include "html/html_parser.h"
#include "net/download_engine.h"
#include "net/download_request.h"
#include "releases/catalogue_read.h"
#include "releases/catalogue_view.h"
#include "win/errors.h"

namespace zid {

namespace {

constexpr const wchar_t* kPageNames[] = {L"Download.htm", L"Archive.htm"};
constexpr wchar_t kDownloading[] = L"Downloading data...";
constexpr wchar_t kUnsuccessful[] = L"Download unsuccessful";

// Never destroyed: a download still running while the process exits may write to them.
DownloadRequest* CatalogueRequests() {
    static DownloadRequest* requests =
        new DownloadRequest[2]{{kPageNames[0], DownloadKind::CurrentRelease}, {kPageNames[1], DownloadKind::Archive}};
    return requests;
}

std::wstring HttpStatusText(DWORD status) {
    wchar_t text[48];
    swprintf(text, 48, L"HTTP status code %d", static_cast<int>(status));
    return text;
}

// Reads a finished page; false when its expected elements are missing.
bool ReadPage(const DownloadRequest& request, ICatalogueView& page) {
    const std::wstring text = PageText(request.Data);
    CHtmlParser parser;
    parser.Parse(text.c_str());
    if (request.Kind == DownloadKind::CurrentRelease)
        return ReadCurrentRelease(parser, page);
    return ReadArchive(parser, page);
}

}  // namespace

DownloadRequest& CatalogueRequest(int index) {
    return CatalogueRequests()[index];
}

void MakeCataloguePagesAbsolute(const std::wstring& base) {
    for (int index = 0; index < 2; ++index)
        CatalogueRequest(index).Url = base + kPageNames[index];
}

bool IsCatalogueLoading() {
    return IsInProgress(CatalogueRequest(0)) || IsInProgress(CatalogueRequest(1));
}

void RefreshCatalogue(ICatalogueView& page, CVNInet& engine) {
    if (IsCatalogueLoading())
        return;
    page.ClearRows();
    page.EnableDownload(false);
    std::wstring message;
    if (StartCataloguePage(0, engine, message)) {
        message = kDownloading;
        page.EnableRefresh(false);
    }
    page.SetStatus(message);
}

bool StartCataloguePage(int index, CVNInet& engine, std::wstring& message) {
    DownloadRequest& request = CatalogueRequest(index);
    if (engine.Start(request, nullptr)) {
        message.clear();
        return true;
    }
    const DWORD error = GetLastError();
    message = request.Url + L": " + GetErrorText(error);
    return false;
}

void OnCataloguePageFinished(DownloadRequest& request, ICatalogueView& page, CVNInet& engine) {
    // Pages read for anything but the list (a release looked up for a repair) are not the list's.
    if (&request != &CatalogueRequest(0) && &request != &CatalogueRequest(1))
        return;
    // A refresh restarted this page after it ended and before this message came: the newer
    // download's own message follows.
    if (IsInProgress(request))
        return;
    std::wstring message = request.Url + L": ";
    if (request.ErrorCode != 0) {
        message += GetErrorText(request.ErrorCode, request.ErrorText);
    } else if (request.HttpStatus == 200) {
        message += kUnsuccessful;
        if (IsFinished(request) && ReadPage(request, page)) {
            if (request.Kind == DownloadKind::CurrentRelease)
                StartCataloguePage(1, engine, message);
            else
                message.clear();
        }
    } else {
        message += HttpStatusText(request.HttpStatus);
    }
    if (!IsCatalogueLoading()) {
        page.EnableRefresh(true);
        page.SetStatus(message);
    } else if (!message.empty()) {
        page.SetStatus(message);
    }
}

}  // namespace zid
