// Nodes of a parsed web page and the queries run on them.
//
// The parser (html_parser.h) creates and links every element in its arena
// (html_arena.h) and releases the tree with it, in one step; all other code
// only reads the tree. Elements are not copyable: they are linked by raw
// pointers. Strings and lists refer to the arena and live as long as it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "html/html_arena.h"

namespace zid {

// One attribute other than id, class and style, as written on the page
// (first letter of the name lower-cased, the rest as written).
class CHtmlAttr {
public:
    CHtmlString m_name;
    CHtmlString m_value;  // empty when the attribute had no value
};

// One declaration of an inline "style" attribute, as read by AddStyles.
class CHtmlStyle {
public:
    CHtmlString m_name;
    CHtmlString m_value;
};

class CHtmlElement {
public:
    // Empty strings, no links: an anonymous element.
    CHtmlElement() = default;
    // An element of `tag` (which must outlive it, e.g. from the same arena).
    explicit CHtmlElement(CHtmlString tag);
    CHtmlElement(const CHtmlElement&) = delete;
    CHtmlElement& operator=(const CHtmlElement&) = delete;

    // Whether m_tag is one of the void elements (br, img, ...); exact and
    // case-sensitive, known from the tag since construction.
    bool IsVoid() const;
    // m_tag narrowed to single bytes (non-Latin-1 units become '?').
    std::string GetTagNameA() const;
    // Value of the first attribute named exactly "href", or null; the text
    // lives as long as the element.
    const wchar_t* GetHref() const;
    // First element whose m_tag equals `tag`, testing this element and then
    // walking on in document order to the end of the document (not only
    // through this element's subtree); null when there is none.
    CHtmlElement* FindByTag(std::wstring_view tag);
    const CHtmlElement* FindByTag(std::wstring_view tag) const;
    // The element that follows this one in document order, or null.
    CHtmlElement* NextInDocument() const;

    // Reads an inline style value ("name: value; ...") and appends its
    // declarations, stored in `arena`; unterminated or valueless
    // declarations are dropped.
    void AddStyles(CHtmlArena& arena, std::wstring_view css);
    // Makes `child` the last child of this element (constant time).
    void AppendChild(CHtmlElement* child);

    CHtmlString m_tag;    // lower-cased tag name; empty for anonymous text holders
    CHtmlString m_id;     // last "id" value, else empty
    CHtmlString m_class;  // last "class" value, whole, else empty
    CHtmlString m_text;   // text between the start tag and the first child
    CHtmlElement* m_parent = nullptr;
    CHtmlElement* m_next = nullptr;
    CHtmlElement* m_firstChild = nullptr;
    CHtmlElement* m_lastChild = nullptr;
    CHtmlList<CHtmlStyle> m_styles;
    CHtmlList<CHtmlAttr> m_attributes;  // all but id, class and style, duplicates kept

private:
    friend class CHtmlParser;
    CHtmlElement(CHtmlString tag, uint8_t known) : m_tag(tag), m_known(known) {}

    uint8_t m_known = 0;  // the interned tag (zid::html::Tag) of m_tag, 0 when not known
};

}  // namespace zid
