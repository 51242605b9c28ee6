// Forgiving single-pass reader of one web page into a tree of CHtmlElement.
//
// It never rejects input: every text gives a tree, possibly empty. One parser
// holds one document: construct, Parse once, query, destroy. Not thread-safe;
// use a parser and its tree on one thread.
#pragma once

#include <string_view>

#include "html/html_arena.h"
#include "html/html_element.h"

namespace zid {

namespace html {
class CHtmlTokenizer;
}

class CHtmlParser {
public:
    // An empty document: no root, no current element.
    CHtmlParser() = default;
    CHtmlParser(const CHtmlParser&) = delete;
    CHtmlParser& operator=(const CHtmlParser&) = delete;
    // Releases the whole tree, however deep or wide, with its arena.
    virtual ~CHtmlParser() = default;

    // Builds the tree from a zero-terminated UTF-16 page (a leading U+FEFF is
    // skipped; null counts as empty). Time linear in the length of the text.
    void Parse(const wchar_t* text);
    // Top of the tree, or null when the page had no start tag to build from.
    CHtmlElement* GetRoot() const { return m_root; }
    // First element in document order whose m_id equals `id` exactly, or null.
    CHtmlElement* FindById(std::wstring_view id) const;

private:
    friend class zid::html::CHtmlTokenizer;

    // The tokenizer's steps on the tree. Names and texts are copied into the
    // arena; the views need not outlive the call.
    void HandleTag(std::wstring_view tag, bool endTag);
    void CloseTag(bool endTag);
    void AddAttribute(std::wstring_view name, std::wstring_view value);
    void FlushText(std::wstring_view text);
    // Whether text collected now would be kept (there is somewhere to put it).
    bool HasCurrent() const { return m_current != nullptr; }
    bool IsPreformatted() const { return m_preformatted != 0; }

    void HandleEndTag(std::wstring_view tag);
    void HandleStartTag(std::wstring_view tag);

    // Declared first: released last, after nothing refers to it any more.
    CHtmlArena m_arena;                 // every element and string of the tree
    int m_preformatted = 0;             // 1 inside "pre": white space kept as written
    CHtmlElement* m_root = nullptr;     // in m_arena, with every element below it
    CHtmlElement* m_current = nullptr;  // where new content goes
};

}  // namespace zid
