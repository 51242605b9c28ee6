// Values from packages and the registry, checked before they reach Windows Installer and shown safely.
#pragma once

#include <string>
#include <string_view>

// True when text is exactly one braced GUID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with
// hexadecimal digits: nothing before, after or inside it that an installer command line would read
// as more properties.
bool IsBracedGuid(std::wstring_view text);

// text for a message: at most 60 characters (then "..."), control characters shown as "?".
std::wstring ShownValue(std::wstring_view text);
