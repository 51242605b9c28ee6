// The backup of a registry key in the form Registry Editor imports: every value type, and a key
// with its subkeys.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/registry_key.h"
#include "support/test_util.h"
#include "win/handles.h"
#include "win/registry_export.h"

namespace zid {

namespace {

std::vector<BYTE> Bytes(std::wstring_view text) {
    const BYTE* data = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(data, data + text.size() * sizeof(wchar_t));
}

std::wstring Line(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
    return RegValueLine(name, type, data.data(), static_cast<DWORD>(data.size()));
}

TEST(RegValueLine, EachTypeInRegistryEditorsForm) {
    using namespace std::string_view_literals;
    struct Case {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
        std::wstring line;
    };
    const Case cases[] = {
        {L"DisplayName", REG_SZ, Bytes(L"Velonar\0"sv), L"\"DisplayName\"=\"Velonar\""},
        {L"Path", REG_SZ, Bytes(L"C:\\Program Files\\\"x\"\0"sv), L"\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\""},
        {L"Na\"me\\", REG_SZ, Bytes(L"\0"sv), L"\"Na\\\"me\\\\\"=\"\""},
        {L"", REG_SZ, Bytes(L"default\0"sv), L"@=\"default\""},
        // What a quoted string would not give back: no terminator, a NUL or a line break inside.
        {L"Open", REG_SZ, Bytes(L"ab"sv), L"\"Open\"=hex(1):61,00,62,00"},
        {L"Nul", REG_SZ, Bytes(L"a\0b\0"sv), L"\"Nul\"=hex(1):61,00,00,00,62,00,00,00"},
        {L"Lines", REG_SZ, Bytes(L"a\r\n\0"sv), L"\"Lines\"=hex(1):61,00,0d,00,0a,00,00,00"},
        {L"Empty", REG_SZ, {}, L"\"Empty\"=hex(1):"},
        {L"Expand", REG_EXPAND_SZ, Bytes(L"%A%\0"sv), L"\"Expand\"=hex(2):25,00,41,00,25,00,00,00"},
        {L"Multi", REG_MULTI_SZ, Bytes(L"a\0b\0\0"sv), L"\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
        {L"Number", REG_DWORD, {0x0A, 0x00, 0x01, 0xF0}, L"\"Number\"=dword:f001000a"},
        {L"Short", REG_DWORD, {0x0A, 0x00}, L"\"Short\"=hex(4):0a,00"},
        {L"Big", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}, L"\"Big\"=hex(b):01,02,03,04,05,06,07,08"},
        {L"Blob", REG_BINARY, {0xFF, 0x00}, L"\"Blob\"=hex:ff,00"},
        {L"Nothing", REG_BINARY, {}, L"\"Nothing\"=hex:"},
        {L"None", REG_NONE, {}, L"\"None\"=hex(0):"},
        {L"Odd", 0x12345, {7}, L"\"Odd\"=hex(12345):07"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Line(c.name, c.type, c.data), c.line) << Narrow(c.line);
}

TEST(RegValueLine, LongDataContinuesOnIndentedLinesOfAtMost80) {
    const std::wstring line = Line(L"Blob", REG_BINARY, std::vector<BYTE>(100, 0xAB));
    std::wstring flat;
    size_t parts = 0;
    for (size_t start = 0;;) {
        const size_t end = line.find(L"\\\r\n  ", start);
        const std::wstring part = line.substr(start, end == std::wstring::npos ? end : end - start);
        EXPECT_LE((start == 0 ? 0 : 2) + part.size() + 1, 80u) << Narrow(part);
        flat += part;
        ++parts;
        if (end == std::wstring::npos)
            break;
        start = end + 5;
    }
    EXPECT_GT(parts, 1u);
    std::wstring bytes;
    for (int i = 0; i < 100; ++i)
        bytes += i == 0 ? L"ab" : L",ab";
    EXPECT_EQ(flat, L"\"Blob\"=hex:" + bytes);
}

TEST(ExportRegistryKey, KeyThenItsSubkeysEachWithAllValues) {
    TestRegistryKey key(HKEY_CURRENT_USER, L"Software\\ZidTests\\Export");
    key.String(L"DisplayName", L"Velonar").Dword(L"Version", 0x052E0000);
    TestRegistryKey child(HKEY_CURRENT_USER, key.Path() + L"\\Child");
    child.String(L"", L"x", REG_EXPAND_SZ);
    TestRegistryKey empty(HKEY_CURRENT_USER, key.Path() + L"\\Child\\Empty");
    std::wstring text;
    ASSERT_EQ(ExportRegistryKey(key.get(), L"HKEY_CURRENT_USER\\Exported", text), ERROR_SUCCESS);
    EXPECT_EQ(text,
              L"[HKEY_CURRENT_USER\\Exported]\r\n\"DisplayName\"=\"Velonar\"\r\n\"Version\"=dword:052e0000\r\n\r\n"
              L"[HKEY_CURRENT_USER\\Exported\\Child]\r\n@=hex(2):78,00,00,00\r\n\r\n"
              L"[HKEY_CURRENT_USER\\Exported\\Child\\Empty]\r\n\r\n");

    // A name a .reg file cannot carry fails the whole export rather than leave it out.
    RegSetValueExW(empty.get(), L"Two\r\nlines", 0, REG_SZ, nullptr, 0);
    std::wstring refused;
    EXPECT_EQ(ExportRegistryKey(key.get(), L"HKEY_CURRENT_USER\\Exported", refused), ERROR_INVALID_DATA);
}

TEST(WriteRegFile, Utf16WithItsMarkAndRegistryEditorsHeader) {
    const std::wstring path = ScratchFolder(L"regfile") + L"\\entry.reg";
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    ASSERT_EQ(WriteRegFile(file.get(), L"[HKEY_CURRENT_USER\\A]\r\n\r\n"), ERROR_SUCCESS);
    file.reset();
    EXPECT_EQ(ReadFileBytes(path),
              "\xFF\xFE" + Utf16LeBytes(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\r\n"));
}

}  // namespace

}  // namespace zid
