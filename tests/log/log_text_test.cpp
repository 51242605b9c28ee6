// Decoding of log files: UTF-16 throughout, a UTF-16 report followed by ANSI, ANSI only, and damaged input.
#include <gtest/gtest.h>

#include <string>

#include "log/log_text.h"
#include "support/test_util.h"

namespace zid {

namespace {

constexpr char kBom[] = "\xFF\xFE";

struct DecodeCase {
    const char* Name;
    std::string Bytes;
    std::string Text;
};

}  // namespace

TEST(DecodeLogText, EveryMixOfEncodings) {
    const std::string longAnsiLine(2000, 'x');
    const DecodeCase cases[] = {
        {"empty", "", ""},
        {"ANSI kept byte for byte", "Action start 1:2:3: A.\r\n\xE9\n", "Action start 1:2:3: A.\r\n\xE9\n"},
        {"byte-order mark alone", kBom, ""},
        {"UTF-16 throughout", kBom + Utf16LeBytes(u"\uFEFFdate\r\nAction start 1:2:3: A.\r\n"),
         "date\r\nAction start 1:2:3: A.\r\n"},
        {"UTF-16 report, then ANSI", kBom + Utf16LeBytes(u"report\r\n") + "=== Logging started ===\nAction 1:2:3: A.\n",
         "report\r\n=== Logging started ===\nAction 1:2:3: A.\n"},
        {"ANSI right after the mark", kBom + std::string("Action start 1:2:3: A.\n"), "Action start 1:2:3: A.\n"},
        {"a long ANSI line after the report", kBom + Utf16LeBytes(u"r\r\n") + longAnsiLine, "r\r\n" + longAnsiLine},
        {"a second mark where the installer's part starts", kBom + Utf16LeBytes(u"r\r\n\uFEFFAction\r\n"),
         "r\r\nAction\r\n"},
        {"Latin-1 characters", kBom + Utf16LeBytes(u"Zo\u00EB\r\n"), "Zo\xEB\r\n"},
        {"a line starting with U+4E0A (a 0x0A byte) stays UTF-16", kBom + Utf16LeBytes(u"a\r\n\u4E0A\u6D77\r\nb\r\n"),
         "a\r\n??\r\nb\r\n"},
        {"a surrogate pair is one character", kBom + Utf16LeBytes(u"C:\\\U0001F600\\x\r\n"), "C:\\?\\x\r\n"},
        {"a lone surrogate at the end", kBom + Utf16LeBytes(u"a\xD800"), "a?"},
        {"odd length: half a character left out", kBom + Utf16LeBytes(u"ab") + "c", "ab"},
        {"one byte after the mark", kBom + std::string("A"), ""},
    };
    for (const DecodeCase& c : cases)
        EXPECT_EQ(DecodeLogText(c.Bytes), c.Text) << c.Name;
}

TEST(DecodeLogText, WidensEachByteAsOneCharacter) {
    EXPECT_EQ(WidenLatin1("Ab\xE9\xFF"), std::wstring(L"Ab\u00E9\u00FF"));
    EXPECT_EQ(WidenLatin1(""), L"");
}

TEST(EncodeUtf8, OneToFourBytesAndReplacements) {
    const struct {
        std::wstring Text;
        std::string Bytes;
    } cases[] = {
        {L"", ""},
        {L"Zo\u00EB", "Zo\xC3\xAB"},
        {L"\u4E0A", "\xE4\xB8\x8A"},
        {L"\U0001F600", "\xF0\x9F\x98\x80"},
        {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"a",
         "\xEF\xBF\xBD"
         "a"},
        {std::wstring(1, static_cast<wchar_t>(0xDC00)), "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeUtf8(c.Text), c.Bytes) << c.Bytes;
}

}  // namespace zid
