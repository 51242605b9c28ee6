#include "net/local_file.h"

#include <windows.h>
#include <wininet.h>
#include <shlwapi.h>

#include <cwchar>
#include <cwctype>

namespace {

constexpr DWORD kPathCapacity = MAX_PATH;  // 260 characters, the terminator included

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// %XX sequences as the bytes they stand for (each byte one character; enough to see separators and dots).
std::wstring PercentDecoded(const std::wstring& text) {
    std::wstring decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<wchar_t>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

bool IsDeviceName(const std::wstring& name) {
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(std::towupper(c));
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" || stem == L"CONOUT$")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'0' && stem[3] <= L'9';
}

bool IsPlainFileName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..")
        return false;
    for (wchar_t c : name) {
        if (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c))
            return false;
    }
    if (name.back() == L'.' || name.back() == L' ')
        return false;
    return !IsDeviceName(name);
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Whether full names a file directly inside folder (both full paths).
bool IsDirectlyInside(const std::wstring& full, std::wstring folder) {
    while (!folder.empty() && IsSeparator(folder.back()))
        folder.pop_back();
    return full.size() > folder.size() + 1 && IsSeparator(full[folder.size()]) &&
           _wcsnicmp(full.c_str(), folder.c_str(), folder.size()) == 0 &&
           full.find_first_of(L"\\/", folder.size() + 1) == std::wstring::npos;
}

bool FullPath(const std::wstring& path, std::wstring& full) {
    wchar_t buffer[kPathCapacity] = L"";
    const DWORD length = GetFullPathNameW(path.c_str(), kPathCapacity, buffer, nullptr);
    if (length == 0 || length >= kPathCapacity)
        return false;
    full.assign(buffer, length);
    return true;
}

}  // namespace

bool DownloadFileName(const std::wstring& url, std::wstring& name) {
    // Systems disagree whether a backslash in an address separates components (Wine's WinINet
    // turns it into a slash), so an address that has one names no file.
    if (url.find(L'\\') != std::wstring::npos)
        return false;
    wchar_t path[kPathCapacity] = L"";
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = kPathCapacity;
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts))
        return false;
    PathStripPathW(path);
    const std::wstring found = path;
    if (!IsPlainFileName(found) || !IsPlainFileName(PercentDecoded(found)))
        return false;
    name = found;
    return true;
}

bool AttachLocalFile(DownloadRequest& request, const std::wstring& folder) {
    std::wstring name;
    if (!DownloadFileName(request.Url, name)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (folder.size() >= kPathCapacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    wchar_t joined[kPathCapacity] = L"";
    folder.copy(joined, folder.size());
    std::wstring full;
    std::wstring fullFolder;
    if (!PathAppendW(joined, name.c_str()) || !FullPath(joined, full) || !FullPath(folder, fullFolder)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // The name was checked already; this holds whatever the folder's own spelling was.
    if (!IsDirectlyInside(full, fullFolder)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    zid::UniqueFile file(CreateFileW(full.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    request.Flags |= kRequestToFile;
    request.LocalPath = std::move(full);
    request.File = std::move(file);
    return true;
}
