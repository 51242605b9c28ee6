#include "net/local_file.h"

#include <windows.h>
#include <wininet.h>
#include <shlwapi.h>

#include <cwchar>
#include <cwctype>
#include <vector>

#include "http/http_fields.h"
#include "win/folder_trust.h"

namespace zid {

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

// The record's lines: address, validator kind, validator, the whole file's bytes ("-": not known).
constexpr char kEntityTagKind[] = "etag";
constexpr char kDateKind[] = "date";
constexpr char kNoKind[] = "none";
constexpr char kUnknownTotal[] = "-";

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

const char* KindName(zid::ValidatorKind kind) {
    switch (kind) {
    case zid::ValidatorKind::EntityTag:
        return kEntityTagKind;
    case zid::ValidatorKind::LastModified:
        return kDateKind;
    default:
        return kNoKind;
    }
}

bool KindOfName(const std::string& name, zid::ValidatorKind& kind) {
    for (zid::ValidatorKind candidate :
         {zid::ValidatorKind::None, zid::ValidatorKind::EntityTag, zid::ValidatorKind::LastModified}) {
        if (name == KindName(candidate)) {
            kind = candidate;
            return true;
        }
    }
    return false;
}

// The record's lines, each ended by "\n"; false unless there are exactly count of them.
bool SplitLines(const std::string& text, size_t count, std::vector<std::string>& lines) {
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return start == text.size() && lines.size() == count;
}

// The partial file opened for this download: its own file, not in use, without following a link.
DWORD OpenPartialFile(const std::wstring& path, zid::UniqueFile& file) {
    zid::UniqueFile opened(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!opened) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            return error;
        // Nothing there: a new one. CREATE_NEW fails on whatever appeared meanwhile, a dangling link too.
        opened.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!opened)
            return GetLastError();  // ERROR_FILE_EXISTS (kPartialFileNotOurs) for what appeared
    } else if (!IsOwnPlainFile(opened.get())) {
        return kPartialFileNotOurs;
    }
    file = std::move(opened);
    return ERROR_SUCCESS;
}

// What the open partial file is the start of, by its record; Size 0 (and the file emptied, the record
// deleted) when nothing says so or it cannot be continued.
DWORD ReadPartial(HANDLE file, const std::wstring& record, const std::wstring& url, zid::PartialState& partial) {
    LARGE_INTEGER length{};
    std::wstring savedUrl;
    zid::PartialState saved;
    if (GetFileSizeEx(file, &length) && length.QuadPart > 0 && ReadResumeRecord(record, savedUrl, saved) &&
        savedUrl == url) {
        saved.Size = static_cast<unsigned long long>(length.QuadPart);
        LARGE_INTEGER end{};
        if ((zid::IsWhole(saved) || zid::CanContinue(saved)) &&
            SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END)) {
            partial = std::move(saved);
            return ERROR_SUCCESS;
        }
    }
    // This user's leftover of another download, or one that cannot be continued: it starts anew.
    DeleteFileW(record.c_str());
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
        return GetLastError();
    partial = zid::PartialState{};
    return ERROR_SUCCESS;
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
    const std::wstring partialPath = full + kPartialSuffix;
    const std::wstring record = full + kResumeSuffix;
    if (partialPath.size() >= kPathCapacity || record.size() >= kPathCapacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // The partial file first: while another download holds it, its record is that download's.
    zid::UniqueFile file;
    zid::PartialState partial;
    DWORD error = OpenPartialFile(partialPath, file);
    if (error == ERROR_SUCCESS)
        error = ReadPartial(file.get(), record, request.Url, partial);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    request.Flags |= kRequestToFile;
    request.LocalPath = partialPath;
    request.FinalPath = std::move(full);
    request.ResumePath = record;
    request.Partial = std::move(partial);
    request.File = std::move(file);
    return true;
}

DWORD TakeFinalName(DownloadRequest& request) {
    request.File.reset();
    if (!MoveFileExW(request.LocalPath.c_str(), request.FinalPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return GetLastError();
    DeleteFileW(request.ResumePath.c_str());
    request.LocalPath = request.FinalPath;
    return ERROR_SUCCESS;
}

DWORD SaveResumeRecord(const DownloadRequest& request, const zid::PartialState& partial) {
    const std::string total = partial.Total ? std::to_string(*partial.Total) : kUnknownTotal;
    const std::string text =
        Utf8(request.Url) + "\n" + KindName(partial.Source.Kind) + "\n" + partial.Source.Value + "\n" + total + "\n";
    // A link planted by the record's name would have this write go to another file.
    if (!DeleteFileW(request.ResumePath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return GetLastError();
    zid::UniqueFile file(
        CreateFileW(request.ResumePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return GetLastError();
    return written == text.size() ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_WRITE_FAULT);
}

bool ReadResumeRecord(const std::wstring& path, std::wstring& url, zid::PartialState& partial) {
    zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::string text(kRecordLimit, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), text.data(), kRecordLimit, &read, nullptr) || read == kRecordLimit)
        return false;
    text.resize(read);
    std::vector<std::string> lines;
    zid::PartialState found;
    if (!SplitLines(text, 4, lines) || !KindOfName(lines[1], found.Source.Kind) || lines[2].size() > kValidatorLimit ||
        !IsPrintableAscii(lines[2]) || (found.Source.Kind == zid::ValidatorKind::None) != lines[2].empty())
        return false;
    found.Source.Value = lines[2];
    if (lines[3] != kUnknownTotal) {
        found.Total = zid::ParseContentLength(lines[3]);
        if (!found.Total)
            return false;
    }
    url = FromUtf8(lines[0]);
    partial = std::move(found);
    return true;
}

}  // namespace zid
