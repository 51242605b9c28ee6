#include "shell/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "shell/app.h"

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
constexpr size_t kMaxRecent = 16;
constexpr wchar_t kRecentFileList[] = L"Recent File List";
constexpr wchar_t kSettings[] = L"Settings";

std::wstring RecentValueName(size_t number) {
    wchar_t name[16];
    swprintf(name, 16, L"File%d", static_cast<int>(number));
    return name;
}

}  // namespace

LSTATUS CRegKey::OpenKey(HKEY parent, const wchar_t* subKey, REGSAM access) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(parent, subKey, 0, access, &key);
    if (status == ERROR_SUCCESS)
        m_key.reset(key);
    return status;
}

LSTATUS CRegKey::CreateKey(HKEY parent, const wchar_t* subKey) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr,
                                     &key, nullptr);
    if (status == ERROR_SUCCESS)
        m_key.reset(key);
    return status;
}

LSTATUS QueryStringValue(HKEY key, const wchar_t* name, std::wstring& text) {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    // Exactly the stored size: with room to spare the system would append a terminator that the
    // stored text does not have, and an odd size would not be read at all.
    std::vector<BYTE> bytes(size);
    status = RegQueryValueExW(key, name, nullptr, nullptr, bytes.data(), &size);
    if (status != ERROR_SUCCESS)
        return status;
    if (size == 0) {
        text.clear();
        return ERROR_SUCCESS;
    }
    wchar_t last = L'\0';
    if (size % 2 == 0)
        std::memcpy(&last, bytes.data() + size - sizeof(wchar_t), sizeof(wchar_t));
    if (size % 2 != 0 || last != L'\0')
        return ERROR_INVALID_DATA;
    std::wstring value(size / sizeof(wchar_t), L'\0');
    std::memcpy(value.data(), bytes.data(), size);
    value.resize(wcslen(value.c_str()));
    text = std::move(value);
    return ERROR_SUCCESS;
}

void OpenSettings() {
    CRegKey software;
    CRegKey company;
    CRegKey program;
    if (software.OpenKey(HKEY_CURRENT_USER, L"Software", kAccess) != ERROR_SUCCESS ||
        company.CreateKey(software.get(), L"Fennickworks") != ERROR_SUCCESS ||
        program.CreateKey(company.get(), kProgramName) != ERROR_SUCCESS)
        return;
    theApp.m_settingsKey.reset(program.release());
    LoadRecentPackages();
}

void LoadRecentPackages() {
    for (size_t i = 1; i <= kMaxRecent; ++i) {
        std::wstring path = ReadRecentValue(RecentValueName(i).c_str());
        if (!path.empty())
            theApp.m_recentPackages.push_back(std::move(path));
    }
}

std::wstring ReadRecentValue(const wchar_t* name) {
    CRegKey recent;
    if (recent.OpenKey(theApp.m_settingsKey.get(), kRecentFileList, kAccess) != ERROR_SUCCESS)
        return {};
    std::wstring path;
    if (QueryStringValue(recent.get(), name, path) != ERROR_SUCCESS)
        return {};
    return path;
}

void SaveRecentPackages() {
    size_t number = 1;
    for (const std::wstring& path : theApp.m_recentPackages) {
        CRegKey recent;
        if (recent.CreateKey(theApp.m_settingsKey.get(), kRecentFileList) == ERROR_SUCCESS)
            RegSetValueExW(recent.get(), RecentValueName(number).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        ++number;
    }
}

void AddRecentPackage(const std::wstring& path) {
    auto& recent = theApp.m_recentPackages;
    recent.erase(std::remove(recent.begin(), recent.end(), path), recent.end());
    recent.insert(recent.begin(), path);
    if (recent.size() > kMaxRecent)
        recent.resize(kMaxRecent);
    SaveRecentPackages();
}

void LoadCheckSetting(HWND dialog, const wchar_t* name, int id) {
    CRegKey settings;
    if (settings.OpenKey(theApp.m_settingsKey.get(), kSettings, kAccess) == ERROR_SUCCESS) {
        DWORD value = 0;
        DWORD type = 0;
        DWORD size = sizeof(value);
        // A REG_DWORD shorter than 4 bytes is malformed: its number would be partly made up.
        if (RegQueryValueExW(settings.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof(value)) {
            SendDlgItemMessageW(dialog, id, BM_SETCHECK, value, 0);
            return;
        }
    }
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, BST_CHECKED, 0);
}

void SaveCheckSetting(HWND dialog, const wchar_t* name, int id) {
    DWORD state = static_cast<DWORD>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
    CRegKey settings;
    if (settings.CreateKey(theApp.m_settingsKey.get(), kSettings) == ERROR_SUCCESS)
        RegSetValueExW(settings.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state), sizeof(state));
}
