#include "html/html_element.h"

#include "html/html_text.h"

#include <unordered_set>
#include <utility>

CHtmlAttr::CHtmlAttr(std::wstring name, std::wstring value) : m_name(std::move(name)), m_value(std::move(value)) {}

CHtmlStyle::CHtmlStyle(std::wstring name, std::wstring value) : m_name(std::move(name)), m_value(std::move(value)) {}

namespace {

// Built on first use, i.e. when the first element is constructed, and kept
// for the life of the process.
const std::unordered_set<std::wstring>& VoidTags() {
    static const std::unordered_set<std::wstring> tags{L"area",  L"base",   L"br",    L"col",    L"command", L"embed",
                                                       L"hr",    L"img",    L"input", L"keygen", L"link",    L"meta",
                                                       L"param", L"source", L"track", L"wbr"};
    return tags;
}

}  // namespace

CHtmlElement::CHtmlElement() {
    VoidTags();
}

CHtmlElement::CHtmlElement(std::wstring tag) : m_tag(std::move(tag)) {
    VoidTags();
}

bool CHtmlElement::IsVoid() const {
    if (m_void < 0)
        m_void = VoidTags().count(m_tag) ? 1 : 0;
    return m_void == 1;
}

std::string CHtmlElement::GetTagNameA() const {
    return zid::html::NarrowAnsi(m_tag);
}

const wchar_t* CHtmlElement::GetHref() const {
    for (const CHtmlAttr& attr : m_attributes)
        if (attr.m_name == L"href")
            return attr.m_value.c_str();
    return nullptr;
}

CHtmlElement* CHtmlElement::NextInDocument() const {
    if (m_firstChild)
        return m_firstChild;
    // Climbing is paid for once per ancestor over a whole walk, so a full
    // walk stays linear in the size of the tree.
    for (const CHtmlElement* e = this; e; e = e->m_parent)
        if (e->m_next)
            return e->m_next;
    return nullptr;
}

CHtmlElement* CHtmlElement::FindByTag(std::wstring_view tag) {
    for (CHtmlElement* e = this; e; e = e->NextInDocument())
        if (e->m_tag == tag)
            return e;
    return nullptr;
}

const CHtmlElement* CHtmlElement::FindByTag(std::wstring_view tag) const {
    return const_cast<CHtmlElement*>(this)->FindByTag(tag);
}

void CHtmlElement::AddAttribute(std::wstring name, std::wstring value) {
    m_attributes.emplace_back(std::move(name), std::move(value));
}

void CHtmlElement::AddStyle(std::wstring name, std::wstring value) {
    m_styles.emplace_back(std::move(name), std::move(value));
}

void CHtmlElement::AppendChild(CHtmlElement* child) {
    child->m_parent = this;
    if (m_lastChild)
        m_lastChild->m_next = child;
    else
        m_firstChild = child;
    m_lastChild = child;
}

void DeleteTree(CHtmlElement* root) {
    if (!root)
        return;
    // Flatten as we go: the children of every element about to be deleted
    // are spliced onto the end of the chain that is being deleted.
    root->m_next = nullptr;
    CHtmlElement* tail = root;
    for (CHtmlElement* e = root; e;) {
        if (e->m_firstChild) {
            tail->m_next = e->m_firstChild;
            tail = e->m_lastChild;
        }
        CHtmlElement* next = e->m_next;
        delete e;
        e = next;
    }
}
