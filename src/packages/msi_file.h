// Reads a Windows Installer package: Property table values and the package code.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

#include "win/handles.h"

namespace zid {

// A read-only view of one package file, kept open only for the function that reads it.
class CMsiFile {
public:
    CMsiFile() = default;
    CMsiFile(const CMsiFile&) = delete;
    CMsiFile& operator=(const CMsiFile&) = delete;
    ~CMsiFile() { Close(); }

    // Opens the package read-only (closing any earlier one); the installer's result is kept in OpenResult().
    void Open(const std::wstring& path);
    // ERROR_SUCCESS after a successful Open, else the installer's error code (ERROR_INVALID_HANDLE before Open).
    UINT OpenResult() const { return m_openResult; }

    // Value of the named Property row, whole whatever its length, or empty when absent or unreadable.
    std::wstring GetProperty(const std::wstring& name);

    // The package code (revision number of the summary information), or empty; the summary
    // information is opened by the first successful call and kept until Close.
    std::wstring GetPackageCode();

    // Closes the summary information, then the database; harmless when nothing is open.
    void Close();

    // The summary information handle, 0 until GetPackageCode opened it (for diagnostics and tests).
    MSIHANDLE SummaryHandle() const { return m_summary.get(); }

private:
    zid::UniqueMsiHandle m_database;
    zid::UniqueMsiHandle m_summary;
    UINT m_openResult = ERROR_INVALID_HANDLE;
};

// Package code Windows Installer recorded for an installed product, or empty when it knows none.
std::wstring GetInstalledPackageCode(const std::wstring& productCode);

}  // namespace zid
