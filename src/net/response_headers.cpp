#include "net/response_headers.h"

namespace zid {

namespace {

constexpr DWORD kHeaderCapacity = 512;  // characters of a header value read, the terminator included
constexpr char kUnreadable[] = "\x7F";

std::string FieldText(HINTERNET request, DWORD query) {
    wchar_t text[kHeaderCapacity] = L"";
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(request, query, text, &size, nullptr))
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? kUnreadable : "";
    std::string ascii;
    for (const wchar_t* c = text; c < text + size / sizeof(wchar_t); ++c) {
        if (*c > 0x7E)
            return kUnreadable;
        ascii += static_cast<char>(*c);
    }
    return ascii;
}

}  // namespace

zid::ResponseFields ReadResponseFields(HINTERNET request, unsigned status) {
    zid::ResponseFields fields;
    fields.Status = status;
    // As text: a number flag would cut a length of 4 GB or more to 32 bits.
    fields.ContentLength = FieldText(request, HTTP_QUERY_CONTENT_LENGTH);
    fields.ContentRange = FieldText(request, HTTP_QUERY_CONTENT_RANGE);
    fields.TransferEncoding = FieldText(request, HTTP_QUERY_TRANSFER_ENCODING);
    fields.ETag = FieldText(request, HTTP_QUERY_ETAG);
    fields.LastModified = FieldText(request, HTTP_QUERY_LAST_MODIFIED);
    fields.Date = FieldText(request, HTTP_QUERY_DATE);
    return fields;
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

}  // namespace zid
