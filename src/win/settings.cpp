#include "win/settings.h"

#include <algorithm>
#include <cstdio>

#include "win/program.h"
#include "win/registry.h"

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

SettingsStore& Settings() {
    static SettingsStore store;
    return store;
}

void OpenSettings() {
    CRegKey software;
    CRegKey company;
    CRegKey program;
    if (software.OpenKey(HKEY_CURRENT_USER, L"Software") != ERROR_SUCCESS ||
        company.CreateKey(software.get(), kCompany) != ERROR_SUCCESS ||
        program.CreateKey(company.get(), kProgramName) != ERROR_SUCCESS)
        return;
    Settings().Key.reset(program.release());
    LoadRecentPackages();
}

void LoadRecentPackages() {
    for (size_t i = 1; i <= kMaxRecent; ++i) {
        std::wstring path = ReadRecentValue(RecentValueName(i).c_str());
        if (!path.empty())
            Settings().RecentPackages.push_back(std::move(path));
    }
}

std::wstring ReadRecentValue(const wchar_t* name) {
    CRegKey recent;
    if (recent.OpenKey(Settings().Key.get(), kRecentFileList) != ERROR_SUCCESS)
        return {};
    std::wstring path;
    if (QueryStringValue(recent.get(), name, path) != ERROR_SUCCESS)
        return {};
    return path;
}

void SaveRecentPackages() {
    size_t number = 1;
    for (const std::wstring& path : Settings().RecentPackages) {
        CRegKey recent;
        if (recent.CreateKey(Settings().Key.get(), kRecentFileList) == ERROR_SUCCESS)
            SetStringValue(recent.get(), RecentValueName(number).c_str(), path);
        ++number;
    }
}

void AddRecentPackage(const std::wstring& path) {
    auto& recent = Settings().RecentPackages;
    recent.erase(std::remove(recent.begin(), recent.end(), path), recent.end());
    recent.insert(recent.begin(), path);
    if (recent.size() > kMaxRecent)
        recent.resize(kMaxRecent);
    SaveRecentPackages();
}

void LoadCheckSetting(HWND dialog, const wchar_t* name, int id) {
    CRegKey settings;
    DWORD value = 0;
    if (settings.OpenKey(Settings().Key.get(), kSettings) == ERROR_SUCCESS &&
        QueryDwordValue(settings.get(), name, value) == ERROR_SUCCESS) {
        SendDlgItemMessageW(dialog, id, BM_SETCHECK, value, 0);
        return;
    }
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, BST_CHECKED, 0);
}

void SaveCheckSetting(HWND dialog, const wchar_t* name, int id) {
    const auto state = static_cast<DWORD>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
    CRegKey settings;
    if (settings.CreateKey(Settings().Key.get(), kSettings) == ERROR_SUCCESS)
        SetDwordValue(settings.get(), name, state);
}
