// Reader of inline "style" attribute values.
#include "html/html_element.h"

#include "html/html_text.h"

namespace {

enum class StyleState { BeforeName, Name, BeforeValue, Value };

// Declarations are kept as single bytes and widened back, so only the low
// eight bits of each code unit survive; only ASCII comes back unchanged.
wchar_t KeepByte(wchar_t c) {
    return zid::html::WidenAnsi(static_cast<unsigned char>(c & 0xFF));
}

}  // namespace

void CHtmlElement::AddStyles(std::wstring_view css) {
    StyleState state = StyleState::BeforeName;
    std::wstring name;
    std::wstring value;
    for (wchar_t c : css) {
        switch (state) {
        case StyleState::BeforeName:
            if (c != L' ') {
                name.assign(1, KeepByte(c));
                state = StyleState::Name;
            }
            break;
        case StyleState::Name:
            if (c == L':')
                state = StyleState::BeforeValue;
            else
                name.push_back(KeepByte(c));
            break;
        case StyleState::BeforeValue:
            // Not even ';' ends an empty value: it becomes the value's first character.
            if (c != L' ') {
                value.assign(1, KeepByte(c));
                state = StyleState::Value;
            }
            break;
        case StyleState::Value:
            if (c == L';') {
                AddStyle(name, value);
                state = StyleState::BeforeName;
            } else {
                value.push_back(KeepByte(c));
            }
            break;
        }
    }
    // A declaration still without a value at the end is dropped.
    if (state == StyleState::Value)
        AddStyle(std::move(name), std::move(value));
}
