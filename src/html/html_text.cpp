#include "html/html_text.h"

namespace zid {

namespace html {

wchar_t LowerChar(wchar_t c) {
    if (c < 0x80)
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c;
    // Latin-1 capitals, except the multiplication sign.
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7)
        return static_cast<wchar_t>(c + 0x20);
    // Latin Extended-A pairs capital/small: even capitals in most runs...
    if ((c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177))
        return (c & 1) ? c : static_cast<wchar_t>(c + 1);
    // ...odd capitals in the two runs shifted by one.
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E))
        return (c & 1) ? static_cast<wchar_t>(c + 1) : c;
    if (c == 0x0130)
        return L'i';
    if (c == 0x0178)
        return 0x00FF;
    // Greek capitals (U+03A2 is unassigned).
    if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2)
        return static_cast<wchar_t>(c + 0x20);
    // Cyrillic: the basic alphabet, then the row of extra capitals above it.
    if (c >= 0x0410 && c <= 0x042F)
        return static_cast<wchar_t>(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F)
        return static_cast<wchar_t>(c + 0x50);
    return c;
}

static char NarrowChar(wchar_t c) {
    return static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(static_cast<unsigned char>(c)) : '?';
}

std::string NarrowAnsi(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text)
        narrow.push_back(NarrowChar(c));
    return narrow;
}

bool EqualsAscii(std::wstring_view text, std::string_view ascii) {
    if (text.size() != ascii.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (NarrowChar(text[i]) != ascii[i])
            return false;
    return true;
}

}  // namespace html

}  // namespace zid
