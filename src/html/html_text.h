// Character helpers shared by the HTML tokenizer and the element tree.
// Internal to src/html: other code goes through html_parser.h / html_element.h.
#pragma once

#include <string>
#include <string_view>

namespace zid {

namespace html {

// True for the code units the page reader treats as white space: the ASCII
// controls TAB..CR, SPACE, and the Unicode space separators (not the
// no-break spaces U+00A0, U+2007, U+202F, which are text). Inline: the
// tokenizer asks for every code unit of text.
inline bool IsSpace(wchar_t c) {
    if (c <= L' ')
        return c == L' ' || (c >= L'\t' && c <= L'\r');
    if (c < 0x85)
        return false;
    switch (c) {
    case 0x0085:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A && c != 0x2007;
    }
}

// Lower-cases one code unit the way the en-US C runtime does for letters of
// Latin, Greek and Cyrillic; every other code unit is returned unchanged.
// Fixed tables instead of the process locale, so results never depend on
// the machine.
wchar_t LowerChar(wchar_t c);

// Narrows to the single-byte code page the model uses for names (Latin-1):
// U+0000..U+00FF keep their value, every other code unit becomes '?'.
// ASCII always survives, and nothing outside ASCII ever narrows to a letter,
// digit, '#' or white space.
std::string NarrowAnsi(std::wstring_view text);

// Widens one byte of that code page back to its code unit.
inline wchar_t WidenAnsi(unsigned char byte) {
    return static_cast<wchar_t>(byte);
}

// Whether `text` narrowed with NarrowAnsi equals the ASCII literal `ascii`.
// Compares in place: no narrowed copy is made.
bool EqualsAscii(std::wstring_view text, std::string_view ascii);

}  // namespace html

}  // namespace zid
