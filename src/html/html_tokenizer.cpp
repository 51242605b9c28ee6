#include "html/html_tokenizer.h"

#include <cstdint>
#include <string_view>

#include "html/html_parser.h"
#include "html/html_text.h"

namespace zid {

namespace html {

namespace {

struct NamedReference {
    std::string_view name;
    wchar_t unit;
};

// The references our pages use. No "lt" and no "apos": those vanish like any
// unknown name.
constexpr NamedReference kNamedReferences[] = {
    {"darr", 0x2193},  {"mdash", 0x2014}, {"gt", 0x003E},     {"larr", 0x2190},  {"minus", 0x2212},  {"nbsp", 0x00A0},
    {"ndash", 0x2013}, {"rarr", 0x2192},  {"thinsp", 0x2009}, {"times", 0x00D7}, {"spades", 0x2660}, {"hearts", 0x2665},
    {"diams", 0x2666}, {"clubs", 0x2663}, {"quot", 0x0022},   {"amp", 0x0026},
};

int HexDigit(wchar_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a number the way strtoul(s, nullptr, 16) does with the 32-bit
// unsigned long of the Windows C runtime: leading white space, a sign and a
// "0x" are accepted, reading stops at the first unfit character, nothing
// readable gives 0, and overflow gives 0xFFFFFFFF. Written out so that the
// result is the same on hosts whose long is 64 bits. Reads the code units
// themselves: every unit that matters is ASCII, and no other unit narrows
// to one.
std::uint32_t ReadHex(std::wstring_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && HexDigit(s[i + 2]) >= 0)
        i += 2;
    std::uint32_t value = 0;
    bool overflow = false;
    for (int digit; i < s.size() && (digit = HexDigit(s[i])) >= 0; ++i) {
        if (value > (UINT32_MAX - static_cast<std::uint32_t>(digit)) / 16)
            overflow = true;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    if (overflow)
        return UINT32_MAX;
    return negative ? 0u - value : value;
}

// What ends a run of plain text: 1 for '<', '&' and the terminating zero,
// 2 for white space (which ends it only where it collapses). ASCII only;
// IsSpace answers for the rest.
constexpr unsigned char kTextStop[128] = {
    1, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    2, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
};

// Whether `c` ends a text run: markup, the end, or collapsing white space.
inline bool EndsText(wchar_t c, bool collapse) {
    const auto u = static_cast<std::uint32_t>(c);
    if (u < 128) {
        const unsigned char stop = kTextStop[u];
        return stop == 1 || (stop == 2 && collapse);
    }
    return collapse && u >= 0x85 && IsSpace(c);
}

// Lower-cases like LowerChar, with ASCII decided inline.
inline wchar_t Lower(wchar_t c) {
    if (static_cast<std::uint32_t>(c) < 0x80)
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c;
    return LowerChar(c);
}

}  // namespace

void CHtmlTokenizer::Run(const wchar_t* p) {
    if (*p == 0xFEFF)
        ++p;
    while (*p) {
        switch (m_state) {
        case State::Text:
            p = OnText(p);
            break;
        case State::TagName:
            p = OnTagName(p);
            break;
        case State::InTag:
            p = OnInTag(p);
            break;
        case State::AttrName:
            p = OnAttrName(p);
            break;
        case State::AttrValue:
            p = OnAttrValue(p);
            break;
        case State::QuotedValue:
            p = OnQuotedValue(p);
            break;
        case State::Comment:
            p = OnComment(p);
            break;
        case State::Reference:
            p = OnReference(p);
            break;
        }
    }
    m_parser.FlushText(m_text.View());
}

const wchar_t* CHtmlTokenizer::OnText(const wchar_t* p) {
    switch (*p) {
    case L'<':
        m_parser.FlushText(m_text.View());
        m_text.Clear();
        m_tagName.Clear();
        m_endTag = false;
        m_state = State::TagName;
        return p + 1;
    case L'&':
        m_reference = p + 1;
        m_state = State::Reference;
        return p + 1;
    default:
        break;
    }
    // Words and white space up to the next markup. A run of white space
    // becomes one space; a single space is that already, so text with single
    // spaces stays one slice of the page. Without a current element the
    // flush would drop the text, so it is not even collected.
    const bool collapse = !m_parser.IsPreformatted();
    const bool keep = m_parser.HasCurrent();
    const wchar_t* run = p;
    for (;;) {
        while (!EndsText(*p, collapse))
            ++p;
        if (*p == L'<' || *p == L'&' || *p == 0)
            break;
        if (*p == L' ') {
            ++p;
            if (!IsSpace(*p))
                continue;  // a single space: the run goes on
            if (keep)
                m_text.Take(run, p);  // with the space, for the whole run of white space
        } else if (keep) {
            m_text.Take(run, p);
            m_text.Put(L' ', p);
        }
        while (IsSpace(*p))
            ++p;
        run = p;
    }
    if (keep)
        m_text.Take(run, p);
    return p;
}

const wchar_t* CHtmlTokenizer::OnTagName(const wchar_t* p) {
    switch (*p) {
    case L' ':
        m_parser.HandleTag(m_tagName.View(), m_endTag);
        m_state = State::InTag;
        return p + 1;
    case L'/':
        // Anywhere in the name, a slash makes an end tag: "</p>" and "<br/>" alike.
        m_endTag = true;
        return p + 1;
    case L'>':
        m_parser.HandleTag(m_tagName.View(), m_endTag);
        m_parser.CloseTag(m_endTag);
        m_state = State::Text;
        return p + 1;
    default:
        break;
    }
    // The run of name units up to the next space, slash or '>'.
    const wchar_t* end = p;
    bool lower = true;
    for (; *end && *end != L' ' && *end != L'/' && *end != L'>'; ++end)
        lower = lower && Lower(*end) == *end;
    const size_t before = m_tagName.size();
    const wchar_t first = before ? m_tagName.View()[0] : *p;
    if (first == L'!' && before < 3 && before + static_cast<size_t>(end - p) >= 3) {
        // The name may become "!--" at its third unit, which opens a comment.
        for (; m_tagName.size() < 3; ++p)
            m_tagName.Put(Lower(*p), p);
        if (m_tagName.View() == L"!--") {
            m_state = State::Comment;
            return p;
        }
    }
    if (lower) {
        m_tagName.Take(p, end);
        return end;
    }
    for (; p != end; ++p)
        m_tagName.Put(Lower(*p), p);
    return end;
}

const wchar_t* CHtmlTokenizer::OnInTag(const wchar_t* p) {
    switch (*p) {
    case L'>':
        m_parser.CloseTag(m_endTag);
        m_state = State::Text;
        return p + 1;
    default:
        if (IsSpace(*p))
            return p + 1;
        // Only the first letter is lower-cased: Href arrives as href, ID as iD.
        m_attrName.Clear();
        m_attrName.Put(Lower(*p), p);
        m_attrValue.Clear();
        m_state = State::AttrName;
        return p + 1;
    }
}

const wchar_t* CHtmlTokenizer::OnAttrName(const wchar_t* p) {
    switch (*p) {
    case L'=':
        m_state = State::AttrValue;
        return p + 1;
    case L'>':
        AddAttribute();
        m_parser.CloseTag(m_endTag);
        m_state = State::Text;
        return p + 1;
    default: {
        const wchar_t* end = p + 1;
        while (*end && *end != L'=' && *end != L'>')
            ++end;
        m_attrName.Take(p, end);
        return end;
    }
    }
}

const wchar_t* CHtmlTokenizer::OnAttrValue(const wchar_t* p) {
    switch (*p) {
    case L'"':
        m_state = State::QuotedValue;
        return p + 1;
    case L' ':
        AddAttribute();
        m_state = State::InTag;
        return p + 1;
    case L'>':
        AddAttribute();
        m_parser.CloseTag(m_endTag);
        m_state = State::Text;
        return p + 1;
    default: {
        const wchar_t* end = p + 1;
        while (*end && *end != L'"' && *end != L' ' && *end != L'>')
            ++end;
        m_attrValue.Take(p, end);
        return end;
    }
    }
}

const wchar_t* CHtmlTokenizer::OnQuotedValue(const wchar_t* p) {
    switch (*p) {
    case L'"':
        AddAttribute();
        m_state = State::InTag;
        return p + 1;
    default: {
        const wchar_t* end = p + 1;
        while (*end && *end != L'"')
            ++end;
        m_attrValue.Take(p, end);
        return end;
    }
    }
}

const wchar_t* CHtmlTokenizer::OnComment(const wchar_t* p) {
    switch (*p) {
    case L'-':
        // The one look-ahead: the zero terminator stops it at the end of the text.
        if (p[1] == L'-' && p[2] == L'>') {
            m_state = State::Text;
            return p + 3;
        }
        return p + 1;
    default: {
        const wchar_t* end = p + 1;
        while (*end && *end != L'-')
            ++end;
        return end;
    }
    }
}

const wchar_t* CHtmlTokenizer::OnReference(const wchar_t* p) {
    switch (*p) {
    case L';':
        ResolveReference(p);
        m_state = State::Text;
        return p + 1;
    default: {
        // Everything up to the ';' is the name, "<", "&" and white space too.
        const wchar_t* end = p + 1;
        while (*end && *end != L';')
            ++end;
        return end;
    }
    }
}

void CHtmlTokenizer::AddAttribute() {
    m_parser.AddAttribute(m_attrName.View(), m_attrValue.View());
}

void CHtmlTokenizer::ResolveReference(const wchar_t* end) {
    const std::wstring_view name(m_reference, static_cast<size_t>(end - m_reference));
    wchar_t unit = 0;
    if (name.size() >= 2 && name[0] == L'#' && (name[1] == L'x' || name[1] == L'X')) {
        unit = static_cast<wchar_t>(ReadHex(name.substr(2)) & 0xFFFF);
    } else {
        for (const NamedReference& ref : kNamedReferences)
            if (EqualsAscii(name, ref.name))
                unit = ref.unit;
    }
    // Decimal references, unknown names and a zero code unit add nothing.
    if (unit != 0 && m_parser.HasCurrent())
        m_text.Put(unit, m_reference - 1);
}

}  // namespace html

}  // namespace zid
