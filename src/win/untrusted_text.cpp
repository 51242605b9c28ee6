#include "win/untrusted_text.h"

#include <algorithm>
#include <iterator>

namespace zid {

namespace {

constexpr std::wstring_view kPattern = L"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
constexpr size_t kShownLength = 60;
constexpr wchar_t kReplacement = L'?';

struct Range {
    char32_t First;
    char32_t Last;
};

// Unicode's Cc, Cf, Zl and Zp characters and the two noncharacters of the first plane, in order.
constexpr Range kHidden[] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},
    {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},
    {0xFFF9, 0xFFFB},   {0xFFFE, 0xFFFF},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F},
    {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
};

bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// UTF-16 units of the character that starts at text[i]: 2 for a surrogate pair, else 1.
size_t CharacterLength(std::wstring_view text, size_t i) {
    return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

}  // namespace

bool IsBracedGuid(std::wstring_view text) {
    if (text.size() != kPattern.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (kPattern[i] == L'X' ? !IsHexDigit(text[i]) : text[i] != kPattern[i])
            return false;
    }
    return true;
}

bool IsHiddenCharacter(char32_t c) {
    const Range* after = std::upper_bound(std::begin(kHidden), std::end(kHidden), c,
                                          [](char32_t value, const Range& range) { return value < range.First; });
    return after != std::begin(kHidden) && c <= std::prev(after)->Last;
}

std::wstring ShownText(std::wstring_view text) {
    std::wstring shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = CharacterLength(text, i);
        char32_t c = text[i];
        if (length == 2)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        const bool lone = length == 1 && (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i]));
        if (lone || IsHiddenCharacter(c))
            shown += kReplacement;
        else
            shown.append(text.substr(i, length));
        i += length;
    }
    return shown;
}

std::wstring ShownValue(std::wstring_view text) {
    size_t cut = 0;
    while (cut < text.size() && cut + CharacterLength(text, cut) <= kShownLength)
        cut += CharacterLength(text, cut);
    std::wstring shown = ShownText(text.substr(0, cut));
    if (cut < text.size())
        shown += L"...";
    return shown;
}

}  // namespace zid
