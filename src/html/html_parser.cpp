// Tree building: what the tokenizer's tags, attributes and text do to the tree.
#include "html/html_parser.h"

#include <new>

#include "html/html_tags.h"
#include "html/html_text.h"
#include "html/html_tokenizer.h"

namespace zid {

using zid::html::Tag;

namespace {

bool IsAllSpace(std::wstring_view text) {
    for (wchar_t c : text)
        if (!zid::html::IsSpace(c))
            return false;
    return true;
}

}  // namespace

void CHtmlParser::Parse(const wchar_t* text) {
    zid::html::CHtmlTokenizer tokenizer(*this);
    tokenizer.Run(text ? text : L"");
}

CHtmlElement* CHtmlParser::FindById(std::wstring_view id) const {
    for (CHtmlElement* e = m_root; e; e = e->NextInDocument())
        if (e->m_id == id)
            return e;
    return nullptr;
}

void CHtmlParser::HandleTag(std::wstring_view tag, bool endTag) {
    if (endTag)
        HandleEndTag(tag);
    else
        HandleStartTag(tag);
}

void CHtmlParser::HandleEndTag(std::wstring_view tag) {
    // The walk up is paid for by the levels it closes, or it empties the
    // current element, so over a page it stays linear. Elements of a known
    // tag match by number; the others by name.
    const Tag known = zid::html::LookUpTag(tag);
    CHtmlElement* open = m_current;
    if (known != Tag::Other) {
        while (open && open->m_known != static_cast<uint8_t>(known))
            open = open->m_parent;
    } else {
        while (open && (open->m_known != 0 || open->m_tag != tag))
            open = open->m_parent;
    }
    // No match leaves no current element: text is dropped until the next start tag.
    m_current = open ? open->m_parent : nullptr;
    if (known == Tag::Pre)
        m_preformatted = 0;
}

void CHtmlParser::HandleStartTag(std::wstring_view tag) {
    // A new root discards the tree built so far, and everything in the
    // arena belonged to it.
    if (!m_current)
        m_arena.Reset();
    const Tag known = zid::html::LookUpTag(tag);
    const CHtmlString name = known != Tag::Other ? zid::html::TagName(known) : m_arena.Copy(tag);
    auto* element = new (m_arena.NewArray<CHtmlElement>(1)) CHtmlElement(name, static_cast<uint8_t>(known));
    if (!m_current) {
        m_root = element;
    } else {
        CHtmlElement* current = m_current;
        CHtmlElement* parent = current->m_parent;
        if (!parent) {
            current->AppendChild(element);
        } else if (known != Tag::Li && zid::html::IsClosedBy(static_cast<Tag>(parent->m_known), known)) {
            // Closes two levels; the root itself is never closed.
            (parent->m_parent ? parent->m_parent : parent)->AppendChild(element);
        } else if (zid::html::IsClosedBy(static_cast<Tag>(current->m_known), known)) {
            parent->AppendChild(element);
        } else {
            current->AppendChild(element);
        }
    }
    m_current = element;
    if (known == Tag::Pre)
        m_preformatted = 1;
}

void CHtmlParser::CloseTag(bool endTag) {
    // A void element has no content, whatever way its start tag ended.
    if (!endTag && m_current && m_current->IsVoid())
        m_current = m_current->m_parent;
}

void CHtmlParser::AddAttribute(std::wstring_view name, std::wstring_view value) {
    if (!m_current)
        return;
    if (name == L"id")
        m_current->m_id = m_arena.Copy(value);
    else if (name == L"class")
        m_current->m_class = m_arena.Copy(value);
    else if (name == L"style")
        m_current->AddStyles(m_arena, value);
    else if (name == L"href")  // most attributes of most pages: its name is shared
        m_current->m_attributes.Append(m_arena, {CHtmlString::Static(L"href", 4), m_arena.Copy(value)});
    else
        m_current->m_attributes.Append(m_arena, {m_arena.Copy(name), m_arena.Copy(value)});
}

void CHtmlParser::FlushText(std::wstring_view text) {
    if (text.empty() || !m_current)
        return;
    CHtmlElement* current = m_current;
    if (current == m_root || current->m_firstChild) {
        // Line breaking white space after a <br> carries no text.
        const CHtmlElement* last = current->m_lastChild;
        if (last && last->m_known == static_cast<uint8_t>(Tag::Br) && IsAllSpace(text))
            return;
        auto* holder = new (m_arena.NewArray<CHtmlElement>(1)) CHtmlElement();
        holder->m_text = m_arena.Copy(text);
        current->AppendChild(holder);
    } else {
        // Text on both sides of a comment joins; in place, so it stays linear.
        current->m_text = m_arena.Append(current->m_text, text);
    }
}

}  // namespace zid
