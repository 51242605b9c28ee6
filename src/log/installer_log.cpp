#include "log/installer_log.h"

#include <cstdio>

#include "log/log_text.h"
#include "win/handles.h"

namespace zid {

namespace {

constexpr int kLastLogNumber = 999;
constexpr wchar_t kLogName[] = L"VNI-%y%m%d-%H%M%S";

bool LocalNow(std::tm& local) {
    std::time_t now = std::time(nullptr);
    return localtime_s(&local, &now) == 0;
}

// Empty when the time cannot be had or formatted: a line or a name without it is still useful.
std::wstring FormatTime(const std::tm& local, const wchar_t* format) {
    wchar_t text[128];
    size_t length = std::wcsftime(text, 128, format, &local);
    return std::wstring(text, length);
}

std::wstring LogFileCandidate(const std::wstring& folder, const std::wstring& base, int number, const wchar_t* ending) {
    std::wstring path = folder + base;
    if (number > 0) {
        wchar_t suffix[16];
        swprintf(suffix, 16, L"-%d", number);
        path += suffix;
    }
    return path + ending;
}

// Numbers tried: none, then 2 .. 999; 1 is never used. Any failure, not only a taken name, moves on.
// Only a new file will do: a name that is taken, also by a link someone planted, is passed over.
std::wstring CreateNamedLogFile(const std::wstring& folder, const std::wstring& base, zid::UniqueFile* held,
                                const wchar_t* ending = L".txt") {
    for (int number = 0; number <= kLastLogNumber; number = (number == 0 ? 1 : number) + 1) {
        std::wstring candidate = LogFileCandidate(folder, base, number, ending);
        zid::UniqueFile file(CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            if (held)
                *held = std::move(file);
            return candidate;
        }
    }
    return {};
}

}  // namespace

std::wstring CreateLogFileIn(const std::wstring& folder, const std::tm& local, zid::UniqueFile* held) {
    return CreateNamedLogFile(folder, FormatTime(local, kLogName), held);
}

std::wstring CreateLogFile(zid::UniqueFile* held, const wchar_t* ending) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return {};
    std::tm local{};
    if (!LocalNow(local))
        return CreateNamedLogFile(std::wstring(folder, length), L"", held, ending);
    return CreateNamedLogFile(std::wstring(folder, length), FormatTime(local, kLogName), held, ending);
}

DWORD AppendLines(const std::wstring& path, const std::vector<std::wstring>& lines) {
    zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return GetLastError();
    unsigned char mark[2] = {};
    DWORD read = 0;
    const bool wide = ReadFile(file.get(), mark, 2, &read, nullptr) && read == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
    if (wide) {
        for (const std::wstring& line : lines) {
            if (const DWORD error = WriteLine(file.get(), line))
                return error;
        }
        return ERROR_SUCCESS;
    }
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\r\n";
    const std::string bytes = EncodeUtf8(text);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return ERROR_SUCCESS;
}

DWORD WriteLine(HANDLE file, const std::wstring& text) {
    const std::wstring line = text + L"\r\n";
    DWORD written = 0;
    if (!WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr))
        return GetLastError();
    return written == line.size() * sizeof(wchar_t) ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_WRITE_FAULT);
}

}  // namespace zid
