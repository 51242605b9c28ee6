// Pages far beyond anything real: they must complete with the right tree and
// release everything (the sanitizer build checks the releasing). Speed is
// measured in the benchmark, not here.
#include <gtest/gtest.h>

#include "tree_dump.h"

namespace zid {

namespace {

std::wstring Repeat(const wchar_t* piece, size_t times) {
    std::wstring out;
    const std::wstring p(piece);
    out.reserve(p.size() * times);
    for (size_t i = 0; i < times; ++i)
        out += p;
    return out;
}

constexpr size_t kMillion = 1000000;

}  // namespace

TEST(HtmlStress, AMillionNestedElements) {
    std::wstring page = Repeat(L"<div>", kMillion) + L"<b id=deep>x";
    auto parser = ParsePage(page.c_str());
    size_t depth = 0;
    const CHtmlElement* e = parser->GetRoot();
    for (; e && e->m_tag == L"div"; e = e->m_firstChild)
        ++depth;
    EXPECT_EQ(depth, kMillion);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(parser->FindById(L"deep"), e);
    EXPECT_EQ(e->m_text, L"x");
    EXPECT_EQ(parser->GetRoot()->FindByTag(L"i"), nullptr);
}

TEST(HtmlStress, AMillionNestedElementsClosedAgain) {
    std::wstring page = L"<html>" + Repeat(L"<div>", kMillion) + Repeat(L"</div>", kMillion) + L"end";
    auto parser = ParsePage(page.c_str());
    const CHtmlElement* root = parser->GetRoot();
    ASSERT_NE(root, nullptr);
    ASSERT_NE(root->m_lastChild, nullptr);
    EXPECT_EQ(root->m_lastChild->m_text, L"end");
}

TEST(HtmlStress, AMillionSiblings) {
    std::wstring page = L"<ul>" + Repeat(L"<li>i", kMillion) + L"<li id=last>";
    auto parser = ParsePage(page.c_str());
    size_t count = 0;
    for (const CHtmlElement* li = parser->GetRoot()->m_firstChild; li; li = li->m_next)
        ++count;
    EXPECT_EQ(count, kMillion + 1);
    EXPECT_EQ(parser->FindById(L"last"), parser->GetRoot()->m_lastChild);
}

TEST(HtmlStress, AMillionAttributes) {
    std::wstring page = L"<html><p" + Repeat(L" a=1", kMillion) + L" href=h>t";
    auto parser = ParsePage(page.c_str());
    const CHtmlElement* p = parser->GetRoot()->m_firstChild;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_attributes.size(), kMillion + 1);
    EXPECT_EQ(std::wstring(p->GetHref()), L"h");
    EXPECT_EQ(p->m_text, L"t");
}

TEST(HtmlStress, LongTextRuns) {
    std::wstring page = L"<html><p>" + std::wstring(10 * kMillion, L'x') + L"</p>" + std::wstring(kMillion, L' ') +
                        L"<pre>" + std::wstring(kMillion, L' ');
    auto parser = ParsePage(page.c_str());
    const CHtmlElement* p = parser->GetRoot()->m_firstChild;
    EXPECT_EQ(p->m_text.size(), 10 * kMillion);
    EXPECT_EQ(p->m_next->m_text, L" ");
    EXPECT_EQ(parser->GetRoot()->m_lastChild->m_text.size(), kMillion);
}

TEST(HtmlStress, UnterminatedReferenceAndCommentSwallowTheRest) {
    const std::wstring rest = Repeat(L"<b>bold</b> & ", 100000);
    auto ref = ParsePage((L"<html><p>a &" + rest).c_str());
    EXPECT_EQ(Dump(ref->GetRoot()), L"html(p\"a \")");
    auto comment = ParsePage((L"<html><p>a<!--" + rest).c_str());
    EXPECT_EQ(Dump(comment->GetRoot()), L"html(p\"a\")");
}

TEST(HtmlStress, RootsReplacedOverAndOver) {
    std::wstring page = Repeat(L"<a><b>x</b></a>", 200000) + L"<c>";
    auto parser = ParsePage(page.c_str());
    EXPECT_EQ(DumpRoot(*parser), L"c");
}

TEST(HtmlStress, DeepNestingThenUnmatchedEndTags) {
    std::wstring page = Repeat(L"<i>", 200000) + Repeat(L"</x><i>", 200000);
    auto parser = ParsePage(page.c_str());
    EXPECT_EQ(DumpRoot(*parser), L"i");
}

}  // namespace zid
