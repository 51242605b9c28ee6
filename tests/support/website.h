// The local test website of this CTest run (support/website.py, started by the website_start test).
#pragma once

#include <string>
#include <vector>

namespace zid {

// "http://127.0.0.1:PORT/<modes>/": the base address for a comma-separated combination of the
// website's modes ("ok", "noclen,slow", ...). Empty when the website is not running.
std::wstring WebsiteBase(const std::wstring& modes);

// "https://localhost:PORT/<modes>/": the same website over HTTPS, with a certificate of the test
// authority (tls-ca.pem), which the first call adds to the test prefix's trusted roots. Empty when
// the website is not running.
std::wstring SecureWebsiteBase(const std::wstring& modes);

// As SecureWebsiteBase, on the listener whose certificate comes from an authority nobody trusts.
std::wstring UntrustedWebsiteBase(const std::wstring& modes);

// The request log so far, one "<path> <status> <bytes>" per answered request.
std::vector<std::string> WebsiteRequests();

// The last logged line of a request with exactly this path (answers of other requests may be
// logged after it: a held connection is logged when it ends); empty when there is none.
std::string LastWebsiteRequest(const std::string& path);

// How many logged requests had exactly this path (as the client sent it, e.g. "/ok/Archive.htm").
size_t CountWebsiteRequests(const std::string& path);

// The bytes the website serves for bytes/<count>: byte i is (i * 7 + 3) & 0xFF, or with renew, after
// the file was replaced renewal times, (i * 7 + 3 + renewal) & 0xFF.
std::string PatternBytes(size_t count, int renewal = 0);

}  // namespace zid
