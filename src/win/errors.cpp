#include "win/errors.h"

#include <wininet.h>

#include <memory>

#include "win/handles.h"
#include "win/system_library.h"

namespace zid {

namespace {

constexpr size_t kMaxErrorText = 255;
constexpr DWORD kLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT);

// WinINet's message table lives in wininet.dll; load it from System32 as data so no code of it runs.
zid::UniqueModule LoadWinInetMessages() {
    HMODULE module =
        LoadSystemLibrary(L"WININET.DLL", LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        module = LoadSystemLibrary(L"WININET.DLL", LOAD_LIBRARY_AS_DATAFILE);
    return zid::UniqueModule(module);
}

// FormatMessageW with its own buffer; false when no text is known for the code.
bool FormatFromTable(DWORD flags, HMODULE module, DWORD code, std::wstring& text) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, module, code,
                                  kLanguage, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    zid::UniqueLocal owner(buffer);
    if (length == 0 || !buffer)
        return false;
    text.assign(buffer, length);
    return true;
}

// WinINet's security failures in plain words: its own table words them for programmers, and Wine's
// has none of them.
struct SecurityText {
    DWORD Code;
    const wchar_t* Text;
};
constexpr SecurityText kSecurityTexts[] = {
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, L"The website's certificate has expired or is not valid yet."},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, L"The website's certificate was issued for another name than the website's."},
    {ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR,
     L"The website sent the request on from its secure address to an address that is not secure (http)."},
    {ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, L"The website asks for a certificate of this PC's user."},
    {ERROR_INTERNET_INVALID_CA,
     L"The website's certificate was not issued by a certificate authority that this PC trusts."},
    {ERROR_INTERNET_SEC_CERT_ERRORS, L"The website's certificate is not valid."},
    {ERROR_INTERNET_SEC_CERT_NO_REV, L"Whether the website's certificate has been revoked could not be checked."},
    {ERROR_INTERNET_SEC_CERT_REV_FAILED, L"Whether the website's certificate has been revoked could not be checked."},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, L"No secure connection to the website could be made."},
    {ERROR_INTERNET_SEC_INVALID_CERT, L"The website's certificate is not valid."},
    {ERROR_INTERNET_SEC_CERT_REVOKED, L"The website's certificate has been revoked."},
};

std::wstring NumericErrorText(DWORD code) {
    wchar_t text[64];
    if (code < 65536)
        swprintf(text, 64, L"Error number %d", static_cast<int>(code));
    else
        swprintf(text, 64, L"Error number 0x%08X", static_cast<unsigned>(code));
    return text;
}

// The text of code; extended() gives the server's words of ERROR_INTERNET_EXTENDED_ERROR.
// The server's words replace the table's text of ERROR_INTERNET_EXTENDED_ERROR, so they are taken even
// where the table lacks it (Wine's WinINet).
template <typename Extended>
std::wstring ErrorText(DWORD code, Extended&& extended) {
    if (code == ERROR_INTERNET_EXTENDED_ERROR)
        return extended();
    for (const SecurityText& security : kSecurityTexts) {
        if (security.Code == code)
            return security.Text;
    }
    std::wstring found;
    bool known = false;
    if (zid::UniqueModule winInet = LoadWinInetMessages())
        known = FormatFromTable(FORMAT_MESSAGE_FROM_HMODULE, winInet.get(), code, found);
    if (!known)
        known = FormatFromTable(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, found);
    if (!known)
        return NumericErrorText(code);
    if (found.size() > kMaxErrorText)
        found.resize(kMaxErrorText);
    return found;
}

}  // namespace

std::wstring GetErrorText(DWORD code) {
    return ErrorText(code, [] { return GetLastResponseText(); });
}

std::wstring GetErrorPhrase(DWORD code) {
    std::wstring text = GetErrorText(code);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text;
}

std::wstring GetErrorText(DWORD code, const std::wstring& responseText) {
    return ErrorText(code, [&] { return responseText; });
}

std::wstring GetLastResponseText() {
    DWORD error = 0;
    DWORD length = 0;
    if (InternetGetLastResponseInfoW(&error, nullptr, &length) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[length + 1]());
    if (!buffer)
        return {};
    DWORD fetched = length + 1;
    if (!InternetGetLastResponseInfoW(&error, buffer.get(), &fetched))
        return {};
    std::wstring text(buffer.get());
    if (text.size() > kMaxErrorText + 1)
        return {};
    if (text.size() > kMaxErrorText)
        text.resize(kMaxErrorText);
    return text;
}

}  // namespace zid
