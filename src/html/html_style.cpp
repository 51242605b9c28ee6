// Reader of inline "style" attribute values.
#include "html/html_element.h"

#include "html/html_text.h"

namespace zid {

namespace {

// Declarations are kept as single bytes and widened back, so only the low
// eight bits of each code unit survive; only ASCII comes back unchanged.
CHtmlString KeepBytes(CHtmlArena& arena, std::wstring_view text) {
    CHtmlString result;
    wchar_t* out = arena.NewString(text.size(), result);
    for (wchar_t c : text)
        *out++ = zid::html::WidenAnsi(static_cast<unsigned char>(c & 0xFF));
    return result;
}

}  // namespace

void CHtmlElement::AddStyles(CHtmlArena& arena, std::wstring_view css) {
    // A name runs from its first non-space to the next ':', spaces included;
    // a value from its first non-space to the next ';'. The first character
    // of either is taken whatever it is (a value may start with ';'), so
    // both are slices of the text.
    size_t i = 0;
    const size_t n = css.size();
    for (;;) {
        while (i < n && css[i] == L' ')
            ++i;
        if (i >= n)
            return;
        const size_t nameStart = i++;
        while (i < n && css[i] != L':')
            ++i;
        if (i >= n)
            return;  // a name without ':' is dropped
        const size_t nameEnd = i++;
        while (i < n && css[i] == L' ')
            ++i;
        if (i >= n)
            return;  // a declaration without a value is dropped
        const size_t valueStart = i++;
        while (i < n && css[i] != L';')
            ++i;
        m_styles.Append(arena, {KeepBytes(arena, css.substr(nameStart, nameEnd - nameStart)),
                                KeepBytes(arena, css.substr(valueStart, i - valueStart))});
        if (i >= n)
            return;
        ++i;
    }
}

}  // namespace zid
