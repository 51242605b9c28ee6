#include "releases/website_address.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

namespace zid {

namespace {

// The one place the website's address is spelled.
constexpr wchar_t kWebsiteHost[] = L"www.velonar.example";
constexpr wchar_t kWebsiteOverride[] = L"ZIDEZUREZIV_WEBSITE";
constexpr DWORD kOverrideCapacity = 1024;
constexpr std::wstring_view kSecureScheme = L"https://";
constexpr std::wstring_view kPlainScheme = L"http://";

bool IsDecimalOctet(std::wstring_view text) {
    if (text.empty() || text.size() > 3)
        return false;
    unsigned value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
    }
    return value <= 255;
}

// 127.x.x.x in dotted decimal, "localhost" (any case) or "[::1]": this machine, where no network
// lies between the program and the server.
bool IsLoopbackHost(std::wstring_view host) {
    if (CompareStringOrdinal(host.data(), static_cast<int>(host.size()), L"localhost", -1, TRUE) == CSTR_EQUAL)
        return true;
    if (host == L"[::1]")
        return true;
    if (!host.starts_with(L"127."))
        return false;
    int octets = 0;
    for (size_t start = 0; start <= host.size(); ++octets) {
        const size_t dot = std::min(host.find(L'.', start), host.size());
        if (!IsDecimalOctet(host.substr(start, dot - start)))
            return false;
        start = dot + 1;
    }
    return octets == 4;
}

// The host of an address after its scheme: up to the port, the path or the end.
std::wstring_view HostOf(std::wstring_view rest) {
    const size_t end = rest.starts_with(L"[") ? rest.find(L']') + 1 : rest.find_first_of(L":/");
    return rest.substr(0, std::min(end, rest.size()));
}

}  // namespace

bool IsAcceptedWebsiteBase(const std::wstring& base) {
    if (base.empty() || base.back() != L'/')
        return false;
    const std::wstring_view address = base;
    if (address.starts_with(kSecureScheme))
        return !HostOf(address.substr(kSecureScheme.size())).empty();
    return address.starts_with(kPlainScheme) && IsLoopbackHost(HostOf(address.substr(kPlainScheme.size())));
}

std::wstring GetWebsiteBase() {
    wchar_t value[kOverrideCapacity];
    const DWORD length = GetEnvironmentVariableW(kWebsiteOverride, value, kOverrideCapacity);
    if (length > 0 && length < kOverrideCapacity) {
        std::wstring staging(value, length);
        if (IsAcceptedWebsiteBase(staging))
            return staging;
    }
    return std::wstring(kSecureScheme) + kWebsiteHost + L"/";
}

}  // namespace zid
