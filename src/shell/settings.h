// Settings store: the program's key under HKEY_CURRENT_USER and the recent package list.
#pragma once

#include <windows.h>

#include <string>

#include "shell/handles.h"

// A registry key object: holds one open key, closed when replaced or destroyed.
class CRegKey {
public:
    // Opens parent\subKey with access; 0 or the registry error. On success replaces the held key.
    LSTATUS OpenKey(HKEY parent, const wchar_t* subKey, REGSAM access = KEY_READ | KEY_WRITE);
    // As OpenKey, creating the subkey when missing.
    LSTATUS CreateKey(HKEY parent, const wchar_t* subKey);
    HKEY get() const { return m_key.get(); }
    HKEY release() { return m_key.release(); }

private:
    zid::UniqueHKey m_key;
};

// Reads a REG_SZ / REG_EXPAND_SZ value (unexpanded); text is assigned only on success.
LSTATUS QueryStringValue(HKEY key, const wchar_t* name, std::wstring& text);

// Opens (creating) Software\Fennickworks\ZIDezureziv into the application state and loads the recent list.
void OpenSettings();

// Appends File1..File16 of "Recent File List" to the recent packages, skipping missing ones.
void LoadRecentPackages();

// The named value of "Recent File List"; empty on any failure.
std::wstring ReadRecentValue(const wchar_t* name);

// Writes the recent packages as File1..FileN.
void SaveRecentPackages();

// Moves or inserts path at the front of the recent packages (at most 16) and saves them.
void AddRecentPackage(const std::wstring& path);

// Sets the check state of control id from the DWORD "Settings"\name (checked when unreadable).
void LoadCheckSetting(HWND dialog, const wchar_t* name, int id);

// Stores the check state of control id as "Settings"\name.
void SaveCheckSetting(HWND dialog, const wchar_t* name, int id);
