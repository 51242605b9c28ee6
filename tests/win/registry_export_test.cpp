// The backup of a registry key in Registry Editor's form: every value type and the subkeys.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/registry_key.h"
#include "support/test_util.h"
#include "win/registry_export.h"

namespace zid {

using namespace std::literals;

TEST(ExportRegistryKey, EveryValueTypeThenTheSubkeys) {
    // In the order of their names, which is the order the registry lists them in.
    const std::tuple<const wchar_t*, DWORD, std::string, const wchar_t*> values[] = {
        {L"", REG_SZ, Utf16LeBytes(u"\0"sv), LR"(@="")"},
        {L"Big", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08", LR"("Big"=hex(b):01,02,03,04,05,06,07,08)"},
        {L"Blob", REG_BINARY, std::string(30, '\xAB'),
         L"\"Blob\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n  "
         L"ab,ab,ab,ab,ab,ab,ab,ab"},
        {L"Empty", REG_BINARY, "", LR"("Empty"=hex:)"},
        {L"Expand", REG_EXPAND_SZ, Utf16LeBytes(u"%A%\0"sv), LR"("Expand"=hex(2):25,00,41,00,25,00,00,00)"},
        // Strings that a quoted string would not give back: a line break or a NUL inside.
        {L"Lines", REG_SZ, Utf16LeBytes(u"\n\0\0"sv), LR"("Lines"=hex(1):0a,00,00,00,00,00)"},
        {L"Multi", REG_MULTI_SZ, Utf16LeBytes(u"a\0\0"sv), LR"("Multi"=hex(7):61,00,00,00,00,00)"},
        {L"None", REG_NONE, "\x7F", LR"("None"=hex(0):7f)"},
        {L"Number", REG_DWORD, "\x0A\x00\x01\xF0"s, LR"("Number"=dword:f001000a)"},
        {L"Path \"x\"", REG_SZ, Utf16LeBytes(u"C:\\\"V\"\0"sv), LR"("Path \"x\""="C:\\\"V\"")"}};
    TestRegistryKey key(HKEY_CURRENT_USER, L"Software\\ZidTests\\Export");
    std::wstring expected = L"[HKEY_CURRENT_USER\\E]\r\n";
    for (const auto& [name, type, bytes, line] : values) {
        RegSetValueExW(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
        expected += line + std::wstring(L"\r\n");
    }
    TestRegistryKey child(HKEY_CURRENT_USER, key.Path() + L"\\Child");
    TestRegistryKey grandchild(HKEY_CURRENT_USER, child.Path() + L"\\Grandchild");
    child.Dword(L"D", 2);
    std::wstring text;
    ASSERT_EQ(ExportRegistryKey(key.get(), L"HKEY_CURRENT_USER\\E", text), ERROR_SUCCESS);
    EXPECT_EQ(text, expected +
                        L"\r\n[HKEY_CURRENT_USER\\E\\Child]\r\n\"D\"=dword:00000002\r\n\r\n"
                        L"[HKEY_CURRENT_USER\\E\\Child\\Grandchild]\r\n\r\n");

    // A name that a .reg file cannot carry fails the backup rather than leave the value out.
    child.Dword(L"Two\r\nlines", 3);
    EXPECT_EQ(ExportRegistryKey(key.get(), L"HKEY_CURRENT_USER\\E", text), ERROR_INVALID_DATA);
}

}  // namespace zid
