#include "log/preamble_sources.h"

#include <aclapi.h>
#include <psapi.h>

#include <algorithm>
#include <cwchar>

#include "log/preamble_lines.h"
#include "win/com_ptr.h"
#include "win/handles.h"
#include "win/platform.h"

namespace zid {

namespace {

// Names of sid on the local system: 32-character buffers first, then once more at the sizes asked for.
// Any failure (typically no account maps to the identifier) leaves both names empty.
void LookupAccountNames(PSID sid, std::wstring& domain, std::wstring& account) {
    std::wstring name(32, L'\0');
    std::wstring domainName(32, L'\0');
    DWORD nameLength = 32;
    DWORD domainLength = 32;
    SID_NAME_USE use{};
    if (!LookupAccountSidW(nullptr, sid, name.data(), &nameLength, domainName.data(), &domainLength, &use)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return;
        name.assign(std::max<DWORD>(nameLength, 32), L'\0');
        domainName.assign(std::max<DWORD>(domainLength, 32), L'\0');
        nameLength = static_cast<DWORD>(name.size());
        domainLength = static_cast<DWORD>(domainName.size());
        if (!LookupAccountSidW(nullptr, sid, name.data(), &nameLength, domainName.data(), &domainLength, &use))
            return;
    }
    name.resize(nameLength);
    domainName.resize(domainLength);
    domain = std::move(domainName);
    account = std::move(name);
}

}  // namespace

DWORD ReadProcessOwner(std::wstring& domain, std::wstring& account) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD code = GetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                       nullptr, nullptr, nullptr, &descriptor);
    if (code != ERROR_SUCCESS)
        return code;
    // The owner lives inside the descriptor, which stays held until the names are read.
    zid::UniqueLocal held(descriptor);
    if (!owner || !IsValidSid(owner))
        return ERROR_INVALID_SID;
    std::wstring domainName;
    std::wstring name;
    LookupAccountNames(owner, domainName, name);
    domain = std::move(domainName);
    account = std::move(name);
    return ERROR_SUCCESS;
}

std::wstring CollectObjectTexts(IEnumWbemClassObject* enumerator) {
    std::wstring texts;
    for (;;) {
        zid::com_ptr<IWbemClassObject> product;
        ULONG returned = 0;
        if (FAILED(enumerator->Next(WBEM_INFINITE, 1, product.put(), &returned)) || returned == 0 || !product)
            break;
        zid::UniqueBstr text;
        if (FAILED(product->GetObjectText(0, text.put())))
            break;
        if (text)
            texts.append(text.get(), SysStringLen(text.get()));
    }
    return texts;
}

std::wstring QueryAntivirusProducts() {
    zid::com_ptr<IWbemLocator> locator;
    if (FAILED(
            CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, locator.put_void())))
        return {};
    zid::UniqueBstr space = zid::MakeBstr(L"root\\SecurityCenter2");
    zid::com_ptr<IWbemServices> services;
    if (FAILED(locator->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put())))
        return {};
    // WMI answers a proxy at the default identify level with "access denied"; the result is not needed
    // because the query below fails by itself if the proxy stays unusable.
    CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    zid::UniqueBstr language = zid::MakeBstr(L"WQL");
    zid::UniqueBstr query = zid::MakeBstr(L"SELECT * FROM AntivirusProduct");
    zid::com_ptr<IEnumWbemClassObject> products;
    if (FAILED(services->ExecQuery(language.get(), query.get(), 0, nullptr, products.put())) || !products)
        return {};
    return CollectObjectTexts(products.get());
}

std::vector<HMODULE> ListProcessModules() {
    std::vector<HMODULE> modules(1024);
    const DWORD capacity = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
    DWORD needed = 0;
    if (!EnumProcessModules(GetCurrentProcess(), modules.data(), capacity, &needed))
        return {};
    modules.resize(std::min(needed, capacity) / sizeof(HMODULE));
    return modules;
}

DWORD GetModuleFilePath(HMODULE module, std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return GetLastError();
        // A full buffer means the path may have been cut: try again with room to spare.
        if (length < buffer.size()) {
            buffer.resize(length);
            path = std::move(buffer);
            return ERROR_SUCCESS;
        }
        if (buffer.size() >= 32768)
            return ERROR_INSUFFICIENT_BUFFER;
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

VersionColumns ReadVersionColumns(const std::wstring& path) {
    VersionColumns columns;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return columns;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return columns;

    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &value, &length) && value && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        columns.Version = FormatFileVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    }

    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) || !value)
        return columns;
    const VersionTranslation translation =
        ChooseTranslation(static_cast<const VersionTranslation*>(value), length / sizeof(VersionTranslation));
    if (VerQueryValueW(block.data(), CompanyNameQuery(translation).c_str(), &value, &length) && value) {
        const auto* company = static_cast<const wchar_t*>(value);
        columns.Company = std::wstring(company, wcsnlen(company, length));
    }
    return columns;
}

}  // namespace zid
