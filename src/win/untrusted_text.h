// Values from web pages, packages and the registry: checked before they reach Windows Installer, and
// made safe before they are shown or logged.
#pragma once

#include <string>
#include <string_view>

namespace zid {

// True when text is exactly one braced GUID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with
// hexadecimal digits: nothing before, after or inside it that an installer command line would read
// as more properties.
bool IsBracedGuid(std::wstring_view text);

// True for a character that changes how text around it reads without being seen, or starts a line
// of its own: C0 and C1 controls, format characters (bidirectional marks, embeddings, overrides and
// isolates, zero-width characters, the byte-order mark, tags), the line and paragraph separators,
// and the noncharacters U+FFFE and U+FFFF.
bool IsHiddenCharacter(char32_t c);

// text as it may be shown or logged: every hidden character (IsHiddenCharacter) and every
// unpaired surrogate becomes "?", so that a value cannot forge a line or reorder what follows it.
std::wstring ShownText(std::wstring_view text);

// ShownText cut to at most 60 UTF-16 units, never inside a surrogate pair, then "...".
std::wstring ShownValue(std::wstring_view text);

}  // namespace zid
