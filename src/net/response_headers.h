// The response headers the download engine reads, as text: lengths beyond 32 bits, validators,
// ranges. Every value comes from the server and is checked before use.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

// A header of the response (HTTP_QUERY_...); empty when it is absent or longer than 511 characters.
std::wstring ResponseHeader(HINTERNET request, DWORD query);

// The validator If-Range sends back: the ETag if there is a strong one, else the Last-Modified date;
// empty when there is none, or it is not printable ASCII of at most 256 characters.
std::string ResponseValidator(HINTERNET request);

// "bytes <first>-<last>/<total>" with first <= last < total; false for anything else.
bool ParseContentRange(const std::wstring& text, unsigned long long& first, unsigned long long& last,
                       unsigned long long& total);

// True when a request for an https:// address ended up, through redirects, at a plain http:// one,
// where anyone on the way could have changed the answer.
bool RedirectedToPlainHttp(HINTERNET request, const std::wstring& requestedUrl);
