// The record that describes one download of the download engine.
#pragma once

#include <string>

struct CDownloadRequest {
    std::wstring m_url;        // absolute address to fetch
    int m_kind = -1;           // 0 "Download.htm", 1 "Archive.htm", -1 a package download
    bool m_heapOwned = false;  // freed by whoever receives the finished request
};

// The release rule for a finished request: only a heap-owned request is freed; the two
// catalogue requests live for the whole run and are reused.
inline void ReleaseDownloadRequest(CDownloadRequest* request) {
    if (request && request->m_heapOwned)
        delete request;
}
