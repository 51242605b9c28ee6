// The record that describes one download of the download engine.
#pragma once

#include <memory>
#include <string>

enum class DownloadKind : int {
    Package = -1,        // a package file; the request belongs to whoever receives it when finished
    CurrentRelease = 0,  // the catalogue page "Download.htm"
    Archive = 1,         // the catalogue page "Archive.htm"
};

struct DownloadRequest {
    std::wstring Url;  // absolute address to fetch
    DownloadKind Kind = DownloadKind::Package;
};

// Whether the receiver of a finished request owns it: package requests are handed over, the two
// catalogue requests live for the whole run and are reused.
inline bool IsHandedOver(const DownloadRequest& request) {
    return request.Kind == DownloadKind::Package;
}
