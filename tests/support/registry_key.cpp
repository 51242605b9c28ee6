#include "support/registry_key.h"

namespace zid {

TestRegistryKey::TestRegistryKey(HKEY root, const std::wstring& path, REGSAM view)
    : m_root(root), m_path(path), m_view(view) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr, &key,
                        nullptr) == ERROR_SUCCESS)
        m_key.reset(key);
}

TestRegistryKey::~TestRegistryKey() {
    m_key.reset();
    const size_t split = m_path.rfind(L'\\');
    if (split == std::wstring::npos)
        return;
    HKEY parent = nullptr;
    if (RegOpenKeyExW(m_root, m_path.substr(0, split).c_str(), 0, KEY_ALL_ACCESS | m_view, &parent) != ERROR_SUCCESS)
        return;
    zid::UniqueHKey owner(parent);
    RegDeleteTreeW(parent, m_path.substr(split + 1).c_str());
}

TestRegistryKey& TestRegistryKey::String(const wchar_t* name, const std::wstring& value, DWORD type) {
    RegSetValueExW(m_key.get(), name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return *this;
}

TestRegistryKey& TestRegistryKey::Dword(const wchar_t* name, DWORD value) {
    RegSetValueExW(m_key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return *this;
}

DanglingLink::DanglingLink(HKEY parent, const wchar_t* name) : m_parent(parent), m_name(name) {
    HKEY key = nullptr;
    m_status = RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                               nullptr, &key, nullptr);
    if (m_status != ERROR_SUCCESS)
        return;
    zid::UniqueHKey link(key);
    const std::wstring target = L"\\Registry\\Machine\\Software\\ZidTestsNowhere\\Missing";
    m_status = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                              static_cast<DWORD>(target.size() * sizeof(wchar_t)));
}

// Opened as a link and removed with the native call: RegDeleteKey would look for the target.
DanglingLink::~DanglingLink() {
    using DeleteKey = LONG(WINAPI*)(HANDLE);
    auto deleteKey = reinterpret_cast<DeleteKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    zid::UniqueHKey link;
    if (deleteKey && RegOpenKeyExW(m_parent, m_name.c_str(), REG_OPTION_OPEN_LINK, DELETE, link.put()) == ERROR_SUCCESS)
        deleteKey(link.get());
}

}  // namespace zid
