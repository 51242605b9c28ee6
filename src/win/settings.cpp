#include "win/settings.h"

#include <algorithm>
#include <cstdio>

#include "win/program.h"
#include "win/registry.h"

namespace zid {

namespace {

constexpr size_t kMaxRecent = 16;
constexpr wchar_t kCompany[] = L"Fennickworks";
constexpr wchar_t kRecentFileList[] = L"Recent File List";
constexpr wchar_t kSettings[] = L"Settings";

std::wstring RecentValueName(size_t number) {
    wchar_t name[16];
    swprintf(name, 16, L"File%d", static_cast<int>(number));
    return name;
}

}  // namespace

void CSettingsStore::Open() {
    CRegKey software;
    CRegKey company;
    CRegKey program;
    if (software.OpenKey(HKEY_CURRENT_USER, L"Software") != ERROR_SUCCESS ||
        company.CreateKey(software.get(), kCompany) != ERROR_SUCCESS ||
        program.CreateKey(company.get(), kProgramName) != ERROR_SUCCESS)
        return;
    m_key.reset(program.release());
    LoadRecentPackages();
}

void CSettingsStore::LoadRecentPackages() {
    for (size_t i = 1; i <= kMaxRecent; ++i) {
        std::wstring path = ReadRecentValue(RecentValueName(i).c_str());
        if (!path.empty())
            m_recent.push_back(std::move(path));
    }
}

std::wstring CSettingsStore::ReadRecentValue(const wchar_t* name) const {
    CRegKey recent;
    if (recent.OpenKey(m_key.get(), kRecentFileList) != ERROR_SUCCESS)
        return {};
    std::wstring path;
    if (QueryStringValue(recent.get(), name, path) != ERROR_SUCCESS)
        return {};
    return path;
}

void CSettingsStore::SaveRecentPackages() {
    size_t number = 1;
    for (const std::wstring& path : m_recent) {
        CRegKey recent;
        if (recent.CreateKey(m_key.get(), kRecentFileList) == ERROR_SUCCESS)
            SetStringValue(recent.get(), RecentValueName(number).c_str(), path);
        ++number;
    }
}

void CSettingsStore::AddRecentPackage(const std::wstring& path) {
    m_recent.erase(std::remove(m_recent.begin(), m_recent.end(), path), m_recent.end());
    m_recent.insert(m_recent.begin(), path);
    if (m_recent.size() > kMaxRecent)
        m_recent.resize(kMaxRecent);
    SaveRecentPackages();
}

bool CSettingsStore::ReadFlag(const wchar_t* name) const {
    CRegKey settings;
    DWORD value = 0;
    if (settings.OpenKey(m_key.get(), kSettings) == ERROR_SUCCESS &&
        QueryDwordValue(settings.get(), name, value) == ERROR_SUCCESS)
        return value != 0;
    return true;
}

void CSettingsStore::WriteFlag(const wchar_t* name, DWORD value) {
    CRegKey settings;
    if (settings.CreateKey(m_key.get(), kSettings) == ERROR_SUCCESS)
        SetDwordValue(settings.get(), name, value);
}

}  // namespace zid
