// Tree building: what the tokenizer's tags, attributes and text do to the tree.
#include "html/html_parser.h"

#include <memory>
#include <span>
#include <string_view>
#include <utility>

#include "html/html_text.h"
#include "html/html_tokenizer.h"

using zid::html::EqualsAscii;

namespace {

// An open element of tag `open` is closed implicitly by a new start tag of
// its own name or of one of `alsoClosedBy`.
struct ImpliedEnd {
    std::string_view open;
    std::span<const std::string_view> alsoClosedBy;
};

constexpr std::string_view kByDd[] = {"dd"};
constexpr std::string_view kByDt[] = {"dt"};
constexpr std::string_view kByBlock[] = {"address", "article", "aside",  "blockquote", "div",  "dl",  "fieldset",
                                         "footer",  "form",    "h1",     "h2",         "h3",   "h4",  "h5",
                                         "h6",      "header",  "hgroup", "hr",         "main", "nav", "ol",
                                         "pre",     "section", "table",  "ul"};
constexpr std::string_view kByTbodyTfoot[] = {"tbody", "tfoot"};
constexpr std::string_view kByTbody[] = {"tbody"};
constexpr std::string_view kByTh[] = {"th"};
constexpr std::string_view kByTd[] = {"td"};

constexpr ImpliedEnd kImpliedEnds[] = {
    {"li", {}},
    {"dt", kByDd},
    {"dd", kByDt},
    {"p", kByBlock},
    {"thead", kByTbodyTfoot},
    {"tbody", kByTbodyTfoot},
    {"tfoot", kByTbody},
    {"tr", {}},
    {"td", kByTh},
    {"th", kByTd},
};

// Whether the open element `open` is implicitly closed by a new `tag`.
bool IsClosedBy(const CHtmlElement& open, const std::wstring& tag) {
    for (const ImpliedEnd& row : kImpliedEnds) {
        if (!EqualsAscii(open.m_tag, row.open))
            continue;
        if (EqualsAscii(tag, row.open))
            return true;
        for (std::string_view closer : row.alsoClosedBy)
            if (EqualsAscii(tag, closer))
                return true;
        return false;
    }
    return false;
}

bool IsAllSpace(const std::wstring& text) {
    for (wchar_t c : text)
        if (!zid::html::IsSpace(c))
            return false;
    return true;
}

}  // namespace

CHtmlParser::~CHtmlParser() {
    DeleteTree(m_root);
}

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

void CHtmlParser::HandleTag(const std::wstring& tag, bool endTag) {
    if (endTag)
        HandleEndTag(tag);
    else
        HandleStartTag(tag);
}

void CHtmlParser::HandleEndTag(const std::wstring& tag) {
    // The walk up is paid for by the levels it closes, or it empties the
    // current element, so over a page it stays linear.
    CHtmlElement* open = m_current;
    while (open && open->m_tag != tag)
        open = open->m_parent;
    // No match leaves no current element: text is dropped until the next start tag.
    m_current = open ? open->m_parent : nullptr;
    if (tag == L"pre")
        m_preformatted = 0;
}

void CHtmlParser::HandleStartTag(const std::wstring& tag) {
    auto* element = new CHtmlElement(tag);
    if (!m_current) {
        DeleteTree(m_root);
        m_root = element;
    } else {
        CHtmlElement* current = m_current;
        CHtmlElement* parent = current->m_parent;
        if (!parent) {
            current->AppendChild(element);
        } else if (!EqualsAscii(tag, "li") && IsClosedBy(*parent, tag)) {
            // Closes two levels; the root itself is never closed.
            (parent->m_parent ? parent->m_parent : parent)->AppendChild(element);
        } else if (IsClosedBy(*current, tag)) {
            parent->AppendChild(element);
        } else {
            current->AppendChild(element);
        }
    }
    m_current = element;
    if (tag == L"pre")
        m_preformatted = 1;
}

void CHtmlParser::CloseTag(bool endTag) {
    // A void element has no content, whatever way its start tag ended.
    if (!endTag && m_current && m_current->IsVoid())
        m_current = m_current->m_parent;
}

void CHtmlParser::AddAttribute(const std::wstring& name, const std::wstring& value) {
    // Copies are sized to fit, and the tokenizer keeps its grown buffers.
    if (!m_current)
        return;
    if (name == L"id")
        m_current->m_id = value;
    else if (name == L"class")
        m_current->m_class = value;
    else if (name == L"style")
        m_current->AddStyles(value);
    else
        m_current->AddAttribute(name, value);
}

namespace {

// Texts are copied to a fitting size, which keeps a page's tree small and
// lets the collecting buffer be reused; a very long text is handed over
// instead, so that it never exists twice.
void StoreText(std::wstring& target, std::wstring& text) {
    constexpr size_t kHandOver = 1 << 16;
    if (text.size() >= kHandOver)
        target = std::move(text);
    else
        target.assign(text);
}

}  // namespace

void CHtmlParser::FlushText(std::wstring& text) {
    if (text.empty() || !m_current) {
        text.clear();
        return;
    }
    CHtmlElement* current = m_current;
    if (current == m_root || current->m_firstChild) {
        // Line breaking white space after a <br> carries no text.
        const CHtmlElement* last = current->m_lastChild;
        if (last && EqualsAscii(last->m_tag, "br") && IsAllSpace(text)) {
            text.clear();
            return;
        }
        auto holder = std::make_unique<CHtmlElement>();
        StoreText(holder->m_text, text);
        current->AppendChild(holder.release());
    } else if (current->m_text.empty()) {
        StoreText(current->m_text, text);
    } else {
        current->m_text += text;
    }
    text.clear();
}
