#include "win/file_io.h"

#include <algorithm>

#include "win/handles.h"

namespace zid {

namespace {

// Appends count bytes read from the file's position to bytes; 0 or the Win32 error. A file that
// shrank meanwhile gives what was there.
DWORD ReadInto(HANDLE file, unsigned long long count, std::string& bytes) {
    if (count > bytes.max_size() - bytes.size())
        return ERROR_NOT_ENOUGH_MEMORY;
    const size_t start = bytes.size();
    bytes.resize(start + static_cast<size_t>(count));
    size_t done = 0;
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<unsigned long long>(count - done, 1u << 24));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + start + done, chunk, &read, nullptr))
            return GetLastError();
        if (read == 0)
            break;
        done += read;
    }
    bytes.resize(start + done);
    return ERROR_SUCCESS;
}

zid::UniqueFile OpenForReading(const std::wstring& path) {
    return zid::UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace

DWORD ReadFileHeadAndTail(const std::wstring& path, size_t headBytes, size_t tailBytes, std::string& bytes) {
    zid::UniqueFile file = OpenForReading(path);
    if (!file)
        return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return GetLastError();
    const auto total = static_cast<unsigned long long>(size.QuadPart);
    std::string content;
    if (total <= static_cast<unsigned long long>(headBytes) + tailBytes) {
        if (const DWORD error = ReadInto(file.get(), total, content))
            return error;
    } else {
        if (const DWORD error = ReadInto(file.get(), headBytes, content))
            return error;
        LARGE_INTEGER tail{};
        tail.QuadPart = static_cast<LONGLONG>((total - tailBytes) & ~1ull);
        if (!SetFilePointerEx(file.get(), tail, nullptr, FILE_BEGIN))
            return GetLastError();
        if (const DWORD error = ReadInto(file.get(), total - static_cast<unsigned long long>(tail.QuadPart), content))
            return error;
    }
    bytes = std::move(content);
    return ERROR_SUCCESS;
}

DWORD WriteNewFile(const std::wstring& path, const std::string& bytes) {
    zid::UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return GetLastError();
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return written == bytes.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

DWORD OpenHeldFile(const std::wstring& path, zid::UniqueFile& file) {
    zid::UniqueFile opened(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened)
        return GetLastError();
    file = std::move(opened);
    return ERROR_SUCCESS;
}

DWORD FullPathName(const std::wstring& path, std::wstring& full) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0)
            return GetLastError();
        if (length < buffer.size()) {
            buffer.resize(length);
            full = std::move(buffer);
            return ERROR_SUCCESS;
        }
        buffer.resize(length);
    }
    return ERROR_FILENAME_EXCED_RANGE;
}

}  // namespace zid
