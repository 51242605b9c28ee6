#include "support/test_util.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

#include "win/handles.h"

namespace zid {

std::string Narrow(const std::wstring& text) {
    int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), length, nullptr,
                        nullptr);
    return narrow;
}

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

void DrainMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

static void DeleteTree(const std::wstring& folder) {
    std::vector<wchar_t> from(folder.begin(), folder.end());
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

std::wstring ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"zid-tests\\" + name;
    DeleteTree(folder);
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder;
}

std::wstring WinePath(const std::string& linuxPath) {
    std::wstring path = L"Z:";
    for (char c : linuxPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

std::string ReadFileBytes(const std::wstring& path, size_t limit) {
    zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char chunk[65536];
    DWORD read = 0;
    while (bytes.size() < limit && ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, std::min<size_t>(read, limit - bytes.size()));
    return bytes;
}

std::string Utf16LeBytes(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void DeleteSettingsKey() {
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv");
}

EnvironmentOverride::EnvironmentOverride(const wchar_t* name, const wchar_t* value) : m_name(name) {
    wchar_t saved[32768];
    const DWORD length = GetEnvironmentVariableW(name, saved, 32768);
    m_had = length > 0 && length < 32768;
    if (m_had)
        m_saved.assign(saved, length);
    SetEnvironmentVariableW(name, value);
}

EnvironmentOverride::~EnvironmentOverride() {
    SetEnvironmentVariableW(m_name.c_str(), m_had ? m_saved.c_str() : nullptr);
}

}  // namespace zid
