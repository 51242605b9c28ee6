#include "net/response_headers.h"

#include <cstdio>

namespace {

constexpr DWORD kHeaderCapacity = 512;  // characters of a header value read, the terminator included
constexpr size_t kValidatorLimit = 256;

}  // namespace

std::wstring ResponseHeader(HINTERNET request, DWORD query) {
    wchar_t text[kHeaderCapacity] = L"";
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(request, query, text, &size, nullptr))
        return {};
    return std::wstring(text, size / sizeof(wchar_t));
}

std::string ResponseValidator(HINTERNET request) {
    // A weak ETag never matches If-Range, so the date is the better choice then.
    std::wstring value = ResponseHeader(request, HTTP_QUERY_ETAG);
    if (value.empty() || value.compare(0, 2, L"W/") == 0)
        value = ResponseHeader(request, HTTP_QUERY_LAST_MODIFIED);
    std::string ascii;
    for (wchar_t c : value) {
        if (c < 0x20 || c > 0x7E || ascii.size() == kValidatorLimit)
            return {};
        ascii += static_cast<char>(c);
    }
    return ascii;
}

bool ParseContentRange(const std::wstring& text, unsigned long long& first, unsigned long long& last,
                       unsigned long long& total) {
    unsigned long long a = 0;
    unsigned long long b = 0;
    unsigned long long c = 0;
    int used = 0;
    if (swscanf(text.c_str(), L"bytes %llu-%llu/%llu%n", &a, &b, &c, &used) != 3 ||
        static_cast<size_t>(used) != text.size() || a > b || b >= c)
        return false;
    first = a;
    last = b;
    total = c;
    return true;
}

bool RedirectedToPlainHttp(HINTERNET request, const std::wstring& requestedUrl) {
    if (_wcsnicmp(requestedUrl.c_str(), L"https://", 8) != 0)
        return false;
    wchar_t url[INTERNET_MAX_URL_LENGTH] = L"";
    DWORD size = sizeof(url);
    // An address that cannot be read is taken as the worst case.
    if (!InternetQueryOptionW(request, INTERNET_OPTION_URL, url, &size))
        return true;
    return _wcsnicmp(url, L"https://", 8) != 0;
}
