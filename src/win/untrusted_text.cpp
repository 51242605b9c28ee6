#include "win/untrusted_text.h"

namespace {

constexpr std::wstring_view kPattern = L"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
constexpr size_t kShownLength = 60;

bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
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

std::wstring ShownValue(std::wstring_view text) {
    std::wstring shown(text.substr(0, kShownLength));
    for (wchar_t& c : shown) {
        if (c < L' ' || c == 0x7F)
            c = L'?';
    }
    if (text.size() > kShownLength)
        shown += L"...";
    return shown;
}
