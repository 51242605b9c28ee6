// The program's settings store: its key under HKEY_CURRENT_USER and the recent package list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win/handles.h"

namespace zid {

class CSettingsStore {
public:
    CSettingsStore() = default;
    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    // Opens (creating) Software\Fennickworks\ZIDezureziv, kept open until the store goes, and loads the
    // recent list. Without the key everything falls back silently: flags read as set, nothing is kept.
    void Open();
    bool IsOpen() const { return static_cast<bool>(m_key); }

    // Most recent first, at most 16.
    const std::vector<std::wstring>& RecentPackages() const { return m_recent; }
    // Moves or inserts path at the front of the recent packages (at most 16) and saves them.
    void AddRecentPackage(const std::wstring& path);

    // The DWORD "Settings"\name as a flag: not 0 when set; true when it cannot be read.
    bool ReadFlag(const wchar_t* name) const;
    // Stores "Settings"\name as the DWORD value.
    void WriteFlag(const wchar_t* name, DWORD value);

private:
    void LoadRecentPackages();
    std::wstring ReadRecentValue(const wchar_t* name) const;
    void SaveRecentPackages();

    UniqueHKey m_key;  // Software\Fennickworks\ZIDezureziv
    std::vector<std::wstring> m_recent;
};

}  // namespace zid
