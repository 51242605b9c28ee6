#include "win/registry_export.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "win/handles.h"

namespace zid {

namespace {

constexpr wchar_t kRegFileHeader[] = L"Windows Registry Editor Version 5.00\r\n\r\n";
constexpr size_t kWrapColumn = 76;  // where Registry Editor continues a line of bytes on the next

bool HasUnwritableCharacter(std::wstring_view text) {
    return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos;
}

std::wstring Quoted(std::wstring_view text) {
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"')
            quoted += L'\\';
        quoted += c;
    }
    return quoted + L'"';
}

// The characters of a REG_SZ that a quoted string gives back exactly: one terminator at the end and
// no NUL, CR or LF before it. False otherwise.
bool PlainString(const BYTE* data, DWORD size, std::wstring& text) {
    if (size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0)
        return false;
    std::wstring all(size / sizeof(wchar_t), L'\0');
    std::memcpy(all.data(), data, size);
    if (all.back() != L'\0')
        return false;
    all.pop_back();
    if (HasUnwritableCharacter(all))
        return false;
    text = std::move(all);
    return true;
}

// "hex:" or "hex(N):" and the bytes, continued with a backslash where a line gets long.
std::wstring HexData(DWORD type, const BYTE* data, DWORD size, size_t column) {
    wchar_t prefix[24];
    if (type == REG_BINARY)
        swprintf(prefix, 24, L"hex:");
    else
        swprintf(prefix, 24, L"hex(%x):", static_cast<unsigned>(type));
    std::wstring text = prefix;
    column += text.size();
    for (DWORD i = 0; i < size; ++i) {
        wchar_t byte[4];
        swprintf(byte, 4, L"%02x", static_cast<unsigned>(data[i]));
        text += byte;
        column += 2;
        if (i + 1 == size)
            break;
        text += L',';
        ++column;
        if (column > kWrapColumn) {
            text += L"\\\r\n  ";
            column = 2;
        }
    }
    return text;
}

}  // namespace

std::wstring RegValueLine(const std::wstring& name, DWORD type, const BYTE* data, DWORD size) {
    std::wstring line = (name.empty() ? std::wstring(L"@") : Quoted(name)) + L'=';
    std::wstring text;
    if (type == REG_SZ && PlainString(data, size, text))
        return line + Quoted(text);
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD value = 0;
        std::memcpy(&value, data, sizeof(value));
        wchar_t number[24];
        swprintf(number, 24, L"dword:%08x", static_cast<unsigned>(value));
        return line + number;
    }
    return line + HexData(type, data, size, line.size());
}

LSTATUS ExportRegistryKey(HKEY key, const std::wstring& keyName, std::wstring& text) {
    DWORD subKeys = 0;
    DWORD longestSubKey = 0;
    DWORD values = 0;
    DWORD longestValueName = 0;
    DWORD largestValue = 0;
    LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &longestSubKey, nullptr, &values,
                                      &longestValueName, &largestValue, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    text += L"[" + keyName + L"]\r\n";
    std::vector<wchar_t> name(longestValueName + 1);
    std::vector<BYTE> data(largestValue + 1);
    for (DWORD index = 0; index < values; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        // A value that changes while it is read fails the export: a partial backup is no backup.
        status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (status != ERROR_SUCCESS)
            return status;
        const std::wstring valueName(name.data(), nameLength);
        if (HasUnwritableCharacter(valueName))
            return ERROR_INVALID_DATA;
        text += RegValueLine(valueName, type, data.data(), size) + L"\r\n";
    }
    text += L"\r\n";
    std::vector<wchar_t> subKeyName(longestSubKey + 1);
    for (DWORD index = 0; index < subKeys; ++index) {
        DWORD length = static_cast<DWORD>(subKeyName.size());
        status = RegEnumKeyExW(key, index, subKeyName.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            return status;
        const std::wstring childName(subKeyName.data(), length);
        if (HasUnwritableCharacter(childName))
            return ERROR_INVALID_DATA;
        UniqueHKey child;
        status = RegOpenKeyExW(key, childName.c_str(), 0, KEY_READ, child.put());
        if (status != ERROR_SUCCESS)
            return status;
        status = ExportRegistryKey(child.get(), keyName + L"\\" + childName, text);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

DWORD WriteRegFile(HANDLE file, const std::wstring& body) {
    const std::wstring text = std::wstring(1, L'\xFEFF') + kRegFileHeader + body;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (!WriteFile(file, text.data(), bytes, &written, nullptr))
        return GetLastError();
    return written == bytes ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_WRITE_FAULT);
}

}  // namespace zid
