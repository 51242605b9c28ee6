// The state machine that reads a page and drives the tree building of
// CHtmlParser. Internal to src/html.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zid {

class CHtmlParser;

namespace html {

// The text of one token (a tag or attribute name, a value, a text): a slice
// of the page for as long as it reads as written there, which is the common
// case, and a copy only from the first unit that differs (a lower-cased
// letter, a collapsed run of white space, a character reference, a break
// for a comment).
class CTokenText {
public:
    void Clear() {
        m_begin = m_end = nullptr;
        m_copied = false;
        m_copy.clear();  // keeps its buffer for the next token
    }
    // Adds the page's units [from, to) as written.
    void Take(const wchar_t* from, const wchar_t* to) {
        if (!m_copied) {
            if (m_begin == m_end) {
                m_begin = from;
                m_end = to;
                return;
            }
            if (from == m_end) {
                m_end = to;
                return;
            }
            Spill();
        }
        m_copy.append(from, to);
    }
    // Adds `unit` where the page has the unit at `at`.
    void Put(wchar_t unit, const wchar_t* at) {
        if (!m_copied && *at == unit) {
            Take(at, at + 1);
            return;
        }
        if (!m_copied)
            Spill();
        m_copy.push_back(unit);
    }
    size_t size() const { return m_copied ? m_copy.size() : static_cast<size_t>(m_end - m_begin); }
    std::wstring_view View() const {
        return m_copied ? std::wstring_view(m_copy) : std::wstring_view(m_begin, static_cast<size_t>(m_end - m_begin));
    }

private:
    void Spill() {
        m_copy.assign(m_begin, m_end);
        m_copied = true;
    }

    const wchar_t* m_begin = nullptr;
    const wchar_t* m_end = nullptr;
    bool m_copied = false;
    std::wstring m_copy;
};

class CHtmlTokenizer {
public:
    explicit CHtmlTokenizer(CHtmlParser& parser) : m_parser(parser) {}

    // Feeds the zero-terminated `text` to the parser, then flushes pending
    // text; anything else half read at the end is dropped. The tree gets
    // copies: `text` need not outlive the call.
    void Run(const wchar_t* text);

private:
    enum class State { Text, TagName, InTag, AttrName, AttrValue, QuotedValue, Comment, Reference };

    // One function per state, with a switch on the code unit at `p` (never
    // the terminating zero). Each returns where reading goes on: past the
    // unit, or past a whole run of units that the state treats alike
    // (plain text, a name, a value, a comment's body), found by a tight
    // scan instead of one state step per unit.
    const wchar_t* OnText(const wchar_t* p);
    const wchar_t* OnTagName(const wchar_t* p);
    const wchar_t* OnInTag(const wchar_t* p);
    const wchar_t* OnAttrName(const wchar_t* p);
    const wchar_t* OnAttrValue(const wchar_t* p);
    const wchar_t* OnQuotedValue(const wchar_t* p);
    const wchar_t* OnComment(const wchar_t* p);
    const wchar_t* OnReference(const wchar_t* p);

    void AddAttribute();
    // The name is the page's units [m_reference, end).
    void ResolveReference(const wchar_t* end);

    CHtmlParser& m_parser;
    State m_state = State::Text;
    bool m_endTag = false;
    CTokenText m_tagName;
    CTokenText m_attrName;
    CTokenText m_attrValue;
    CTokenText m_text;
    const wchar_t* m_reference = nullptr;  // first unit of the reference name
};

}  // namespace html

}  // namespace zid
