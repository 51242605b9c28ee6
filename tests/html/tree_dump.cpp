#include "tree_dump.h"

namespace zid {

std::unique_ptr<CHtmlParser> ParsePage(const wchar_t* text) {
    auto parser = std::make_unique<CHtmlParser>();
    parser->Parse(text);
    return parser;
}

static void DumpOpen(const CHtmlElement* e, std::wstring& out) {
    out += e->m_tag.empty() ? std::wstring_view(L"#") : std::wstring_view(e->m_tag);
    if (!e->m_text.empty()) {
        out += L"\"";
        out += e->m_text;
        out += L"\"";
    }
    if (e->m_firstChild)
        out += L"(";
}

std::wstring Dump(const CHtmlElement* element) {
    std::wstring out;
    if (!element)
        return out;
    const CHtmlElement* e = element;
    DumpOpen(e, out);
    for (;;) {
        if (e->m_firstChild) {
            e = e->m_firstChild;
            DumpOpen(e, out);
            continue;
        }
        // Close finished elements until one has a next sibling inside the dump.
        while (e != element && !e->m_next) {
            e = e->m_parent;
            out += L")";
        }
        if (e == element)
            return out;
        e = e->m_next;
        out += L" ";
        DumpOpen(e, out);
    }
}

std::wstring DumpRoot(const CHtmlParser& parser) {
    return parser.GetRoot() ? Dump(parser.GetRoot()) : L"(none)";
}

void PrintTo(const CHtmlString& text, std::ostream* out) {
    *out << '"';
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F)
            *out << static_cast<char>(c);
        else
            *out << "\\x" << std::hex << static_cast<unsigned>(c) << std::dec;
    }
    *out << '"';
}

std::vector<const CHtmlElement*> Children(const CHtmlElement* element) {
    std::vector<const CHtmlElement*> children;
    for (const CHtmlElement* c = element->m_firstChild; c; c = c->m_next)
        children.push_back(c);
    return children;
}

}  // namespace zid
