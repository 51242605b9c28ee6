#include "win/registry.h"

#include <cstring>
#include <vector>

namespace zid {

namespace {

constexpr DWORD kInlineValueBytes = 512;  // 255 characters and the terminator
constexpr int kLargeValueAttempts = 3;

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
    LSTATUS status = RegCreateKeyExW(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                                     &key, nullptr);
    if (status == ERROR_SUCCESS)
        m_key.reset(key);
    return status;
}

LSTATUS QueryStringValue(HKEY key, const wchar_t* name, std::wstring& text) {
    // One read covers nearly every value: each registry call is a round trip to the registry's
    // owner (the kernel, or Wine's server), and asking for the size first would double them. A
    // larger value is read again into a buffer of its size, a few times should it keep growing.
    // The size returned is the stored one, also where the system adds a terminator in spare room.
    BYTE inlineBytes[kInlineValueBytes];
    std::vector<BYTE> largeBytes;
    BYTE* bytes = inlineBytes;
    DWORD type = 0;
    DWORD size = sizeof(inlineBytes);
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, bytes, &size);
    for (int attempt = 0; status == ERROR_MORE_DATA && attempt < kLargeValueAttempts; ++attempt) {
        largeBytes.resize(size);
        bytes = largeBytes.data();
        status = RegQueryValueExW(key, name, nullptr, &type, bytes, &size);
    }
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    if (size == 0) {
        text.clear();
        return ERROR_SUCCESS;
    }
    wchar_t last = L'\0';
    if (size % 2 == 0)
        std::memcpy(&last, bytes + size - sizeof(wchar_t), sizeof(wchar_t));
    if (size % 2 != 0 || last != L'\0')
        return ERROR_INVALID_DATA;
    std::wstring value(size / sizeof(wchar_t), L'\0');
    std::memcpy(value.data(), bytes, size);
    value.resize(wcslen(value.c_str()));
    text = std::move(value);
    return ERROR_SUCCESS;
}

LSTATUS QueryExpandedStringValue(HKEY key, const wchar_t* name, std::wstring& text) {
    DWORD type = 0;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, nullptr, nullptr);
    std::wstring value;
    if (status == ERROR_SUCCESS)
        status = QueryStringValue(key, name, value);
    if (status != ERROR_SUCCESS)
        return status;
    if (type == REG_EXPAND_SZ) {
        const DWORD length = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
        if (length == 0)
            return GetLastError();
        std::wstring expanded(length, L'\0');
        if (ExpandEnvironmentStringsW(value.c_str(), expanded.data(), length) == 0)
            return GetLastError();
        expanded.resize(wcslen(expanded.c_str()));
        value = std::move(expanded);
    }
    text = std::move(value);
    return ERROR_SUCCESS;
}

LSTATUS QueryDwordValue(HKEY key, const wchar_t* name, DWORD& value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (status != ERROR_SUCCESS)
        return status;
    // A shorter REG_DWORD is malformed: its number would be partly made up.
    if (type != REG_DWORD || size != sizeof(data))
        return ERROR_INVALID_DATA;
    value = data;
    return ERROR_SUCCESS;
}

LSTATUS SetDwordValue(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LSTATUS SetStringValue(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace zid
