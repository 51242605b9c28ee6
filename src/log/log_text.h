// The text of an installer log file, whatever mix of encodings it holds (standard C++ only).
#pragma once

#include <string>
#include <string_view>

namespace zid {

// The whole file as one-byte text: a UTF-16LE part (after its byte-order mark) and any ANSI text that follows
// it. Characters above U+00FF read as '?' and byte-order marks are dropped: what is looked for is ASCII.
std::string DecodeLogText(std::string_view bytes);

// The one-byte text as wide characters, each byte one character (Latin-1).
std::wstring WidenLatin1(std::string_view text);

// UTF-8 for text (UTF-16 or UTF-32, as wchar_t is); a lone surrogate becomes U+FFFD.
std::string EncodeUtf8(std::wstring_view text);

}  // namespace zid
