// Reads a Windows Installer package: Property table values and the package code.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

#include "shell/handles.h"

class CMsiFile {
public:
    CMsiFile() = default;
    CMsiFile(const CMsiFile&) = delete;
    CMsiFile& operator=(const CMsiFile&) = delete;

    // Opens the package read-only; the installer's result is kept in OpenResult().
    void Open(const std::wstring& path);
    UINT OpenResult() const { return m_openResult; }

    // Value of the named property, or empty when absent or unreadable.
    std::wstring GetProperty(const std::wstring& name);

    // The package code (revision number of the summary information), or empty.
    std::wstring GetPackageCode();

    // Closes the summary information, then the database.
    void Close();

private:
    zid::UniqueMsiHandle m_database;
    zid::UniqueMsiHandle m_summary;
    UINT m_openResult = ERROR_INVALID_HANDLE;
};

// Package code Windows Installer recorded for an installed product, or empty.
std::wstring GetInstalledPackageCode(const std::wstring& productCode);
