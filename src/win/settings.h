// The program's settings store: its key under HKEY_CURRENT_USER and the recent package list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win/handles.h"

struct SettingsStore {
    zid::UniqueHKey Key;                       // Software\Fennickworks\ZIDezureziv, open for the whole run
    std::vector<std::wstring> RecentPackages;  // most recent first, at most 16
};

// The settings of this process.
SettingsStore& Settings();

// Opens (creating) Software\Fennickworks\ZIDezureziv and loads the recent list.
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
