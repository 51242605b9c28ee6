// The queries the website reader runs on a parsed page, and the element's
// own operations.
#include <gtest/gtest.h>

#include "tree_dump.h"

namespace zid {

TEST(HtmlFindById, NoneBeforeAnyStartTag) {
    CHtmlParser fresh;
    EXPECT_EQ(fresh.FindById(L""), nullptr);
    EXPECT_EQ(fresh.FindById(L"x"), nullptr);
    auto textOnly = ParsePage(L"text without tags");
    EXPECT_EQ(textOnly->FindById(L"x"), nullptr);
}

TEST(HtmlFindById, FirstInDocumentOrderWithExactCase) {
    auto parser = ParsePage(L"<html id=top><div><p id=x>1</p></div><p id=x>2</p><p id=X>3</p>");
    EXPECT_EQ(parser->FindById(L"top"), parser->GetRoot());
    const CHtmlElement* x = parser->FindById(L"x");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->m_text, L"1");
    EXPECT_EQ(parser->FindById(L"X")->m_text, L"3");
    EXPECT_EQ(parser->FindById(L"TOP"), nullptr);
    EXPECT_EQ(parser->FindById(L"missing"), nullptr);
}

TEST(HtmlFindByTag, AnElementFindsItself) {
    auto parser = ParsePage(L"<html><div id=d><div>inner</div></div>");
    CHtmlElement* d = parser->FindById(L"d");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->FindByTag(L"div"), d);
}

TEST(HtmlFindByTag, WalksOnPastTheSubtreeInDocumentOrder) {
    auto parser = ParsePage(
        L"<html><div id=a><p>x</p><span><b id=deep>b</b></span></div>"
        L"<div id=b><span>s</span></div><a href=z>l</a>");
    CHtmlElement* a = parser->FindById(L"a");
    CHtmlElement* b = parser->FindById(L"b");
    CHtmlElement* deep = parser->FindById(L"deep");
    ASSERT_TRUE(a && b && deep);
    EXPECT_EQ(a->FindByTag(L"span"), a->m_firstChild->m_next);
    EXPECT_EQ(deep->FindByTag(L"span"), b->m_firstChild);
    EXPECT_EQ(deep->FindByTag(L"a")->m_text, L"l");
    // Elements before the start are never found.
    EXPECT_EQ(b->FindByTag(L"p"), nullptr);
    EXPECT_EQ(b->FindByTag(L"table"), nullptr);
}

TEST(HtmlGetHref, FirstExactlyNamedHref) {
    auto parser = ParsePage(L"<html><a href=one href=two>t</a><a HREF=up>u</a><a href>e</a><a>n</a>");
    const CHtmlElement* a = parser->GetRoot()->m_firstChild;
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->GetHref(), nullptr);
    EXPECT_EQ(std::wstring(a->GetHref()), L"one");
    const CHtmlElement* upper = a->m_next;
    ASSERT_EQ(upper->m_attributes.size(), 1u);
    EXPECT_EQ(upper->m_attributes[0].m_name, L"hREF");
    EXPECT_EQ(upper->GetHref(), nullptr);
    const CHtmlElement* empty = upper->m_next;
    ASSERT_NE(empty->GetHref(), nullptr);
    EXPECT_EQ(std::wstring(empty->GetHref()), L"");
    EXPECT_EQ(empty->m_next->GetHref(), nullptr);
}

TEST(HtmlElement, IsVoidOnlyForTheVoidTagsExactly) {
    CHtmlArena arena;
    for (const wchar_t* tag : {L"area", L"base", L"br", L"col", L"command", L"embed", L"hr", L"img", L"input",
                               L"keygen", L"link", L"meta", L"param", L"source", L"track", L"wbr"})
        EXPECT_TRUE(CHtmlElement(arena.Copy(tag)).IsVoid()) << tag;
    for (const wchar_t* tag : {L"", L"BR", L"br ", L"div", L"p", L"brr"})
        EXPECT_FALSE(CHtmlElement(arena.Copy(tag)).IsVoid()) << tag;
}

TEST(HtmlElement, TagNameAsNarrowText) {
    CHtmlArena arena;
    EXPECT_EQ(CHtmlElement(arena.Copy(L"th")).GetTagNameA(), "th");
    EXPECT_EQ(CHtmlElement().GetTagNameA(), "");
    // Characters outside the single-byte code page never turn into letters.
    EXPECT_EQ(CHtmlElement(arena.Copy(L"t\x0168h")).GetTagNameA(), "t?h");
}

TEST(HtmlElement, NonAsciiTagNamesAreLowerCased) {
    auto parser = ParsePage(L"<html><\xC4\x0416X>");
    EXPECT_EQ(parser->GetRoot()->m_firstChild->m_tag, L"\xE4\x0436x");
}

namespace {

std::wstring Styles(const wchar_t* css) {
    CHtmlArena arena;
    CHtmlElement e(arena.Copy(L"span"));
    e.AddStyles(arena, css);
    std::wstring out;
    for (const CHtmlStyle& s : e.m_styles)
        out += L"[" + std::wstring(s.m_name) + L"|" + std::wstring(s.m_value) + L"]";
    return out;
}

}  // namespace

TEST(HtmlStyles, DeclarationsKeepInnerAndTrailingSpaces) {
    EXPECT_EQ(Styles(L"color:red; font-size : 2px"), L"[color|red][font-size |2px]");
    EXPECT_EQ(Styles(L"  a:  b c ;"), L"[a|b c ]");
}

TEST(HtmlStyles, AValueMayStartWithASemicolon) {
    EXPECT_EQ(Styles(L"color:;width:5px"), L"[color|;width:5px]");
}

TEST(HtmlStyles, UnfinishedDeclarationsAreDropped) {
    EXPECT_EQ(Styles(L""), L"");
    EXPECT_EQ(Styles(L"color:red;width"), L"[color|red]");
    EXPECT_EQ(Styles(L"color:red;width:  "), L"[color|red]");
}

TEST(HtmlStyles, OnlyTheLowByteOfEachCharacterSurvives) {
    EXPECT_EQ(Styles(L"content:\x0141\xE9"), L"[content|A\xE9]");
}

TEST(HtmlStyles, StyleAttributesFillTheStyleListNotTheAttributes) {
    auto parser = ParsePage(L"<html><div style=\"color:red;x:1\" title=t style=\"y:2\">");
    const CHtmlElement* div = parser->GetRoot()->m_firstChild;
    ASSERT_EQ(div->m_styles.size(), 3u);
    EXPECT_EQ(div->m_styles[2].m_name, L"y");
    ASSERT_EQ(div->m_attributes.size(), 1u);
    EXPECT_EQ(div->m_attributes[0].m_name, L"title");
}

TEST(HtmlArena, AppendGrowsTheLastStringInPlaceAndCopiesAnyOther) {
    CHtmlArena arena;
    CHtmlString first = arena.Copy(L"ab");
    const wchar_t* where = first.c_str();
    first = arena.Append(first, L"cd");
    EXPECT_EQ(first, L"abcd");
    EXPECT_EQ(first.c_str(), where);
    const CHtmlString second = arena.Copy(L"x");
    const CHtmlString grown = arena.Append(first, L"e");
    EXPECT_EQ(grown, L"abcde");
    EXPECT_NE(grown.c_str(), where);
    EXPECT_EQ(first, L"abcd");
    EXPECT_EQ(second, L"x");
    // Far past the first block, still one zero-terminated string.
    CHtmlString big;
    for (int i = 0; i < 100000; ++i)
        big = arena.Append(big, L"0123456789");
    EXPECT_EQ(big.size(), 1000000u);
    EXPECT_EQ(big.c_str()[big.size()], L'\0');
    EXPECT_EQ(std::wstring_view(big).substr(999990), L"0123456789");
}

}  // namespace zid
