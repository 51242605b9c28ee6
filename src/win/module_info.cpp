#include "win/module_info.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace zid {

namespace {

bool QueryVersionString(const std::vector<BYTE>& block, const wchar_t* path, std::wstring& text) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path, &value, &length) || !value || length == 0)
        return false;
    const auto* chars = static_cast<const wchar_t*>(value);
    text.assign(chars, wcsnlen(chars, length));
    return true;
}

}  // namespace

std::wstring LoadText(HINSTANCE instance, UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring GetModulePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() > buffer.max_size() / 2 || buffer.size() > MAXDWORD / 2)
            throw std::invalid_argument("GetModulePath: buffer size overflow");
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetFileVersionText(const std::wstring& file, std::wstring* productName, std::wstring* copyright) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0)
        return {};
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength) || !fixed ||
        fixedLength < sizeof(VS_FIXEDFILEINFO))
        return {};

    wchar_t number[64];
    swprintf(number, 64, L"%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS));
    std::wstring version = number;
    if (fixed->dwFileVersionLS != 0) {
        swprintf(number, 64, L".%u", HIWORD(fixed->dwFileVersionLS));
        version += number;
        if (LOWORD(fixed->dwFileVersionLS) != 0) {
            swprintf(number, 64, L".%u", LOWORD(fixed->dwFileVersionLS));
            version += number;
        }
    }

    std::wstring text;
    if (productName && QueryVersionString(block, L"\\StringFileInfo\\040904b0\\ProductName", text))
        *productName = text;
    if (copyright && QueryVersionString(block, L"\\StringFileInfo\\040904b0\\LegalCopyright", text))
        *copyright = text;
    return version;
}

OwnVersion ReadOwnVersion() {
    OwnVersion own;
    const std::wstring path = GetModulePath();
    if (!path.empty())
        own.Version = GetFileVersionText(path, &own.ProductName, &own.Copyright);
    return own;
}

std::wstring VersionLine(const OwnVersion& own) {
    return own.ProductName + L" Version " + own.Version;
}

std::wstring GetVersionText() {
    return VersionLine(ReadOwnVersion());
}

}  // namespace zid
