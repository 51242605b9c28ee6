// The state machine that reads a page one code unit at a time and drives the
// tree building of CHtmlParser. Internal to src/html.
#pragma once

#include <string>

class CHtmlParser;

namespace zid::html {

class CHtmlTokenizer {
public:
    explicit CHtmlTokenizer(CHtmlParser& parser) : m_parser(parser) {}

    // Feeds the zero-terminated `text` to the parser, then flushes pending
    // text; anything else half read at the end is dropped.
    void Run(const wchar_t* text);

private:
    enum class State { Text, WhitespaceRun, TagName, InTag, AttrName, AttrValue, QuotedValue, Comment, Reference };

    // One function per state. Each reads the code unit at `p` (never the
    // terminating zero) and returns where reading goes on: usually p + 1;
    // further when a run of units that change nothing is taken at once, or
    // when a comment ends; `p` itself when the unit is handed to another state.
    const wchar_t* OnText(const wchar_t* p);
    const wchar_t* OnWhitespaceRun(const wchar_t* p);
    const wchar_t* OnTagName(const wchar_t* p);
    const wchar_t* OnInTag(const wchar_t* p);
    const wchar_t* OnAttrName(const wchar_t* p);
    const wchar_t* OnAttrValue(const wchar_t* p);
    const wchar_t* OnQuotedValue(const wchar_t* p);
    const wchar_t* OnComment(const wchar_t* p);
    const wchar_t* OnReference(const wchar_t* p);

    void AddAttribute();
    void ResolveReference();

    CHtmlParser& m_parser;
    State m_state = State::Text;
    bool m_endTag = false;
    std::wstring m_tagName;
    std::wstring m_attrName;
    std::wstring m_attrValue;
    std::wstring m_text;
    std::wstring m_refName;
};

}  // namespace zid::html
