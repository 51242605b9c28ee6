#include "packages/msi_file.h"

#include <msiquery.h>

#include <vector>

namespace zid {

namespace {

// Property id of the summary information's revision number, which holds the package code.
constexpr UINT kRevisionNumber = 9;
constexpr DWORD kPackageCodeBuffer = 1024;
constexpr DWORD kInstalledCodeBuffer = 260;

// String field 1 of a record, sized by a first call so that values of any length come back whole.
std::wstring ReadFirstField(MSIHANDLE record) {
    wchar_t probe[1] = {};
    DWORD length = 0;
    UINT result = MsiRecordGetStringW(record, 1, probe, &length);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
        return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    DWORD capacity = length + 1;
    if (MsiRecordGetStringW(record, 1, buffer.data(), &capacity) != ERROR_SUCCESS)
        return {};
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}

}  // namespace

void CMsiFile::Open(const std::wstring& path) {
    Close();
    MSIHANDLE database = 0;
    m_openResult = MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, &database);
    if (m_openResult == ERROR_SUCCESS)
        m_database.reset(database);
}

std::wstring CMsiFile::GetProperty(const std::wstring& name) {
    // The name goes into the query text: a quote would end the literal and change the query.
    if (name.find(L'\'') != std::wstring::npos)
        return {};
    std::wstring query = L"SELECT `Value` FROM `Property` WHERE `Property`='" + name + L"'";

    zid::UniqueMsiHandle view;
    if (MsiDatabaseOpenViewW(m_database.get(), query.c_str(), view.put()) != ERROR_SUCCESS)
        return {};
    if (MsiViewExecute(view.get(), 0) != ERROR_SUCCESS)
        return {};
    // Declared after the view so that the record is closed first.
    zid::UniqueMsiHandle record;
    if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS)
        return {};
    return ReadFirstField(record.get());
}

std::wstring CMsiFile::GetPackageCode() {
    if (!m_summary) {
        MSIHANDLE summary = 0;
        if (MsiGetSummaryInformationW(m_database.get(), nullptr, 0, &summary) != ERROR_SUCCESS)
            return {};
        m_summary.reset(summary);
    }
    UINT dataType = 0;
    INT number = 0;
    FILETIME time{};
    wchar_t buffer[kPackageCodeBuffer] = {};
    DWORD length = kPackageCodeBuffer;
    if (MsiSummaryInfoGetPropertyW(m_summary.get(), kRevisionNumber, &dataType, &number, &time, buffer, &length) !=
        ERROR_SUCCESS)
        return {};
    return std::wstring(buffer, wcsnlen(buffer, kPackageCodeBuffer));
}

void CMsiFile::Close() {
    m_summary.reset();
    m_database.reset();
}

std::wstring GetInstalledPackageCode(const std::wstring& productCode) {
    wchar_t buffer[kInstalledCodeBuffer] = {};
    DWORD length = kInstalledCodeBuffer;
    if (MsiGetProductInfoW(productCode.c_str(), L"PackageCode", buffer, &length) != ERROR_SUCCESS)
        return {};
    return std::wstring(buffer, wcsnlen(buffer, kInstalledCodeBuffer - 1));
}

}  // namespace zid
