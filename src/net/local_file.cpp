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

// Characters that change how a name reads without being seen: C0 and C1 controls and the
// bidirectional marks, embeddings, overrides and isolates ("evil\u202Eisl.msi" shows as "evilism.sl").
bool IsHiddenControl(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsPackageName(const std::wstring& name) {
    constexpr size_t kExtension = 4;  // ".msi"
    return name.size() > kExtension && _wcsicmp(name.c_str() + name.size() - kExtension, L".msi") == 0;
}

bool IsPlainFileName(const std::wstring& name) {
    if (!IsPackageName(name))
        return false;
    for (wchar_t c : name) {
        if (IsHiddenControl(c) || std::wcschr(L"<>:\"/\\|?*", c))
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

namespace {

constexpr DWORD kRecordLimit = 4096;     // bytes of a resume record read at most
constexpr size_t kValidatorLimit = 256;  // characters of a validator kept

bool IsPrintableAscii(const std::string& text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

// The partial file of an earlier download of url that can be continued, opened at its end.
zid::UniqueFile OpenResumable(const std::wstring& partial, const std::wstring& record, const std::wstring& url,
                              std::string& validator, unsigned long long& size) {
    std::wstring savedUrl;
    if (!ReadResumeRecord(record, savedUrl, validator) || savedUrl != url)
        return {};
    zid::UniqueFile file(CreateFileW(partial.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length{};
    LARGE_INTEGER end{};
    if (!file || !GetFileSizeEx(file.get(), &length) || length.QuadPart <= 0 ||
        !SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END))
        return {};
    size = static_cast<unsigned long long>(length.QuadPart);
    return file;
}

}  // namespace

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
    // The whole file could never take a name a folder has.
    const DWORD existing = GetFileAttributesW(full.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_CANNOT_MAKE);
        return false;
    }
    const std::wstring partial = full + kPartialSuffix;
    const std::wstring record = full + kResumeSuffix;
    if (partial.size() >= kPathCapacity || record.size() >= kPathCapacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::string validator;
    unsigned long long resumeFrom = 0;
    zid::UniqueFile file = OpenResumable(partial, record, request.Url, validator, resumeFrom);
    if (!file) {
        // A partial file that cannot be continued is this program's own leftover: it starts anew.
        validator.clear();
        resumeFrom = 0;
        DeleteFileW(record.c_str());
        if (!DeleteFileW(partial.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
        file.reset(CreateFileW(partial.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
    }
    request.Flags |= kRequestToFile;
    request.LocalPath = partial;
    request.FinalPath = std::move(full);
    request.ResumePath = record;
    request.ResumeFrom = resumeFrom;
    request.Validator = std::move(validator);
    request.File = std::move(file);
    return true;
}

DWORD SaveResumeRecord(const DownloadRequest& request, const std::string& validator) {
    const std::string text = Utf8(request.Url) + "\n" + validator + "\n";
    zid::UniqueFile file(CreateFileW(request.ResumePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return GetLastError();
    return written == text.size() ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_WRITE_FAULT);
}

bool ReadResumeRecord(const std::wstring& path, std::wstring& url, std::string& validator) {
    zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::string text(kRecordLimit, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), text.data(), kRecordLimit, &read, nullptr) || read == kRecordLimit)
        return false;
    text.resize(read);
    const size_t first = text.find('\n');
    const size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
    if (second == std::string::npos || second + 1 != text.size())
        return false;
    std::string found = text.substr(first + 1, second - first - 1);
    if (found.empty() || found.size() > kValidatorLimit || !IsPrintableAscii(found))
        return false;
    url = FromUtf8(text.substr(0, first));
    validator = std::move(found);
    return true;
}
