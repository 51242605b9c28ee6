#include "releases/website_address.h"

#include <windows.h>

#include "win/shell_open.h"

namespace {

// The one place the website's address is spelled.
constexpr wchar_t kWebsiteHost[] = L"www.velonar.example";
constexpr wchar_t kWebsiteOverride[] = L"ZIDEZUREZIV_WEBSITE";
constexpr DWORD kOverrideCapacity = 1024;

// The staging switch: only a whole http(s) base address ending with "/" is taken.
bool ReadWebsiteOverride(std::wstring& base) {
    wchar_t value[kOverrideCapacity];
    DWORD length = GetEnvironmentVariableW(kWebsiteOverride, value, kOverrideCapacity);
    if (length == 0 || length >= kOverrideCapacity)
        return false;
    std::wstring candidate(value, length);
    if (!IsWebAddress(candidate) || candidate.back() != L'/')
        return false;
    base = std::move(candidate);
    return true;
}

}  // namespace

std::wstring GetWebsiteBase() {
    std::wstring base;
    if (ReadWebsiteOverride(base))
        return base;
    return std::wstring(L"http") + L"://" + kWebsiteHost + L"/";
}
