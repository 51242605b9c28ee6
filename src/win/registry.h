// Registry keys and typed value readers.
#pragma once

#include <windows.h>

#include <string>

#include "win/handles.h"

namespace zid {

// A registry key object: holds one open key, closed when replaced or destroyed.
class CRegKey {
public:
    // Opens parent\subKey with access; 0 or the registry error. On success replaces the held key.
    LSTATUS OpenKey(HKEY parent, const wchar_t* subKey, REGSAM access = KEY_READ | KEY_WRITE);
    // As OpenKey, creating the subkey when missing (read and write access).
    LSTATUS CreateKey(HKEY parent, const wchar_t* subKey);
    HKEY get() const { return m_key.get(); }
    HKEY release() { return m_key.release(); }

private:
    zid::UniqueHKey m_key;
};

// Reads a REG_SZ / REG_EXPAND_SZ value (unexpanded) that ends with its terminator; text is assigned
// only on success.
LSTATUS QueryStringValue(HKEY key, const wchar_t* name, std::wstring& text);

// As QueryStringValue, with the environment variables of a REG_EXPAND_SZ value expanded (a path
// such as "%ProgramFiles%\\Corrabel"); text is assigned only on success.
LSTATUS QueryExpandedStringValue(HKEY key, const wchar_t* name, std::wstring& text);

// Reads a REG_DWORD value of exactly four bytes; value is assigned only on success.
LSTATUS QueryDwordValue(HKEY key, const wchar_t* name, DWORD& value);

// Writes a REG_DWORD value.
LSTATUS SetDwordValue(HKEY key, const wchar_t* name, DWORD value);

// Writes a REG_SZ value with its terminator.
LSTATUS SetStringValue(HKEY key, const wchar_t* name, const std::wstring& text);

}  // namespace zid
