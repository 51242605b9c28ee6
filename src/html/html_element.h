// Nodes of a parsed web page and the queries run on them.
//
// The parser (html_parser.h) creates, links and owns every element; all other
// code only reads the tree. Elements are not copyable: they are linked by
// raw pointers and released as a whole by their parser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One attribute other than id, class and style, as written on the page
// (first letter of the name lower-cased, the rest as written).
class CHtmlAttr {
public:
    CHtmlAttr(std::wstring name, std::wstring value);
    CHtmlAttr(const CHtmlAttr&) = default;
    CHtmlAttr(CHtmlAttr&&) noexcept = default;
    CHtmlAttr& operator=(const CHtmlAttr&) = default;
    CHtmlAttr& operator=(CHtmlAttr&&) noexcept = default;
    virtual ~CHtmlAttr() = default;

    std::wstring m_name;
    std::wstring m_value;  // empty when the attribute had no value
};

// One declaration of an inline "style" attribute, as read by AddStyles.
class CHtmlStyle {
public:
    CHtmlStyle(std::wstring name, std::wstring value);
    CHtmlStyle(const CHtmlStyle&) = default;
    CHtmlStyle(CHtmlStyle&&) noexcept = default;
    CHtmlStyle& operator=(const CHtmlStyle&) = default;
    CHtmlStyle& operator=(CHtmlStyle&&) noexcept = default;
    virtual ~CHtmlStyle() = default;

    std::wstring m_name;
    std::wstring m_value;
};

class CHtmlElement {
public:
    // Empty strings, no links, void state unknown.
    CHtmlElement();
    explicit CHtmlElement(std::wstring tag);
    CHtmlElement(const CHtmlElement&) = delete;
    CHtmlElement& operator=(const CHtmlElement&) = delete;
    // Releases the element's own strings, attributes and styles only; never
    // its children or siblings (see DeleteTree).
    virtual ~CHtmlElement() = default;

    // Whether m_tag is one of the void elements (br, img, ...); exact,
    // case-sensitive, computed once per element and cached.
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

    // Appends one attribute at the end of the attribute list.
    void AddAttribute(std::wstring name, std::wstring value);
    // Appends one declaration at the end of the style list.
    void AddStyle(std::wstring name, std::wstring value);
    // Reads an inline style value ("name: value; ...") and appends its
    // declarations; unterminated or valueless declarations are dropped.
    void AddStyles(std::wstring_view css);
    // Makes `child` the last child of this element (constant time).
    void AppendChild(CHtmlElement* child);

    std::wstring m_tag;    // lower-cased tag name; empty for anonymous text holders
    std::wstring m_id;     // last "id" value, else empty
    std::wstring m_class;  // last "class" value, whole, else empty
    std::wstring m_text;   // text between the start tag and the first child
private:
    mutable int m_void = -1;  // IsVoid cache: -1 unknown, 0 no, 1 yes
public:
    CHtmlElement* m_parent = nullptr;
    CHtmlElement* m_next = nullptr;
    CHtmlElement* m_firstChild = nullptr;
    CHtmlElement* m_lastChild = nullptr;
    std::vector<CHtmlStyle> m_styles;
    std::vector<CHtmlAttr> m_attributes;  // all but id, class and style, duplicates kept
};

// Deletes `root` and all its descendants (not its siblings) with constant
// stack depth and no extra memory, whatever the shape of the tree. Null is
// allowed.
void DeleteTree(CHtmlElement* root);
