#include "win/file_io.h"

#include <algorithm>

#include "win/handles.h"

DWORD ReadWholeFile(const std::wstring& path, std::string& bytes) {
    zid::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return GetLastError();
    if (static_cast<unsigned long long>(size.QuadPart) > std::string().max_size())
        return ERROR_NOT_ENOUGH_MEMORY;
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 24));
        DWORD read = 0;
        if (!ReadFile(file.get(), content.data() + done, chunk, &read, nullptr))
            return GetLastError();
        if (read == 0)
            break;  // the file shrank meanwhile: what was there is what we have
        done += read;
    }
    content.resize(done);
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
