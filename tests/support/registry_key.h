// Registry keys written by a test and removed again when it ends.
#pragma once

#include <windows.h>

#include <string>

#include "win/handles.h"

namespace zid {

// HKLM's list of installed software, read by the inventory.
inline constexpr wchar_t kUninstallPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Creates root\path (in the registry view given by KEY_WOW64_32KEY / KEY_WOW64_64KEY, or 0) and deletes it
// with everything below it when destroyed. The setters return the key so that entries read as one list.
class TestRegistryKey {
public:
    TestRegistryKey(HKEY root, const std::wstring& path, REGSAM view = 0);
    ~TestRegistryKey();
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    HKEY get() const { return m_key.get(); }
    const std::wstring& Path() const { return m_path; }
    TestRegistryKey& String(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ);
    TestRegistryKey& Dword(const wchar_t* name, DWORD value);

private:
    HKEY m_root;
    std::wstring m_path;
    REGSAM m_view;
    zid::UniqueHKey m_key;
};

// An entry of HKLM's Uninstall key in view, named name (usually a product code).
class UninstallEntry : public TestRegistryKey {
public:
    UninstallEntry(REGSAM view, const std::wstring& name)
        : TestRegistryKey(HKEY_LOCAL_MACHINE, std::wstring(kUninstallPath) + L"\\" + name, view) {}
};

// A subkey that is a registry link to a key that does not exist: listed, but it cannot be opened.
// Removed (the link itself, not its target) when destroyed.
class DanglingLink {
public:
    DanglingLink(HKEY parent, const wchar_t* name);
    ~DanglingLink();
    DanglingLink(const DanglingLink&) = delete;
    DanglingLink& operator=(const DanglingLink&) = delete;
    LSTATUS Status() const { return m_status; }

private:
    HKEY m_parent;
    std::wstring m_name;
    LSTATUS m_status;
};

}  // namespace zid
