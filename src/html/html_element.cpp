#include "html/html_element.h"

#include "html/html_tags.h"
#include "html/html_text.h"

namespace zid {

using zid::html::Tag;

CHtmlElement::CHtmlElement(CHtmlString tag) : m_tag(tag), m_known(static_cast<uint8_t>(zid::html::LookUpTag(tag))) {}

bool CHtmlElement::IsVoid() const {
    return zid::html::IsVoidTag(static_cast<Tag>(m_known));
}

std::string CHtmlElement::GetTagNameA() const {
    return zid::html::NarrowAnsi(m_tag);
}

const wchar_t* CHtmlElement::GetHref() const {
    for (const CHtmlAttr& attr : m_attributes)
        if (attr.m_name == std::wstring_view(L"href"))
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

void CHtmlElement::AppendChild(CHtmlElement* child) {
    child->m_parent = this;
    if (m_lastChild)
        m_lastChild->m_next = child;
    else
        m_firstChild = child;
    m_lastChild = child;
}

}  // namespace zid
