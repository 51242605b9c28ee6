#include "log/log_text.h"

#include <algorithm>
#include <cstring>

namespace zid {

namespace {

constexpr unsigned char kBomLow = 0xFF;
constexpr unsigned char kBomHigh = 0xFE;
constexpr char32_t kByteOrderMark = 0xFEFF;
constexpr char32_t kLastLatin1 = 0xFF;
constexpr char32_t kReplacement = 0xFFFD;
constexpr char kUnreadable = '?';

// How far ahead a line start is probed for ANSI text. UTF-16 holds a zero byte in every line end (and in
// every ASCII character), ANSI text never does: a zero-free stretch this long means the ANSI part began.
constexpr std::size_t kProbeBytes = 512;

bool StartsWithBom(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == kBomLow &&
           static_cast<unsigned char>(bytes[1]) == kBomHigh;
}

bool AnsiFollows(std::string_view rest) {
    if (rest.size() < 2)
        return false;
    const std::size_t probe = std::min(rest.size(), kProbeBytes);
    return std::memchr(rest.data(), 0, probe) == nullptr;
}

char32_t Unit(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 1]))
                                                       << 8;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

std::string DecodeLogText(std::string_view bytes) {
    if (!StartsWithBom(bytes))
        return std::string(bytes);
    std::string text;
    text.reserve(bytes.size() / 2);
    std::size_t at = 2;
    bool lineStart = true;
    // A trailing odd byte is half a character: it is left out.
    while (at + 1 < bytes.size()) {
        if (lineStart && AnsiFollows(bytes.substr(at))) {
            text.append(bytes.substr(at));
            return text;
        }
        const char32_t unit = Unit(bytes, at);
        at += 2;
        lineStart = unit == U'\n';
        if (unit == kByteOrderMark)
            continue;
        // A surrogate pair is one character, and beyond Latin-1 like any other.
        if (IsHighSurrogate(unit) && at + 1 < bytes.size() && IsLowSurrogate(Unit(bytes, at)))
            at += 2;
        text += unit <= kLastLatin1 ? static_cast<char>(unit) : kUnreadable;
    }
    return text;
}

std::wstring WidenLatin1(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

std::string EncodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace zid
