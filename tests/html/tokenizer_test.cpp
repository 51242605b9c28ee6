// How the reader splits a page into tags, attributes, text, references and
// comments; the tree shapes are checked through Dump (tree_dump.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tree_dump.h"

namespace zid {

namespace {

std::wstring DumpOf(const wchar_t* text) {
    return DumpRoot(*ParsePage(text));
}

// The first element with the tag, from the root on.
const CHtmlElement* First(const CHtmlParser& parser, const wchar_t* tag) {
    return parser.GetRoot() ? parser.GetRoot()->FindByTag(tag) : nullptr;
}

}  // namespace

TEST(HtmlInput, EmptyAndWhitespaceOnlyPagesHaveNoRoot) {
    EXPECT_EQ(DumpOf(L""), L"(none)");
    EXPECT_EQ(DumpOf(L" \t\r\n  \n"), L"(none)");
    EXPECT_EQ(DumpOf(nullptr), L"(none)");
}

TEST(HtmlInput, TextWithoutAnyTagHasNoRoot) {
    EXPECT_EQ(DumpOf(L"just text &amp; more"), L"(none)");
}

TEST(HtmlInput, OnlyTheFirstByteOrderMarkIsSkipped) {
    EXPECT_EQ(DumpOf(L"\xFEFF<html><p>\xFEFFx"), L"html(p\"\xFEFFx\")");
}

TEST(HtmlInput, HalfReadConstructsAtTheEndAreDropped) {
    EXPECT_EQ(DumpOf(L"<html><p>abc"), L"html(p\"abc\")");
    EXPECT_EQ(DumpOf(L"<html><p"), L"html");
    EXPECT_EQ(DumpOf(L"<html><p>x&amp"), L"html(p\"x\")");
    EXPECT_EQ(DumpOf(L"<html><p>x<!-- y"), L"html(p\"x\")");
    // The name was ended by a space, so the element exists; its attribute does not.
    auto parser = ParsePage(L"<html><p class=\"x");
    EXPECT_EQ(DumpRoot(*parser), L"html(p)");
    EXPECT_EQ(First(*parser, L"p")->m_class, L"");
}

TEST(HtmlTagNames, AreLowerCasedInStartAndEndTags) {
    EXPECT_EQ(DumpOf(L"<HTML><Body><DIV>x</div>y</BODY>z"), L"html(body(div\"x\" #\"y\") #\"z\")");
}

TEST(HtmlTagNames, OnlyASpaceEndsTheName) {
    auto parser = ParsePage(L"<html><b\tid=\"x\">y");
    const CHtmlElement* b = parser->GetRoot()->m_firstChild;
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->m_tag, L"b\tid=\"x\"");
    EXPECT_EQ(b->m_id, L"");
}

TEST(HtmlTagNames, ASlashAnywhereInTheNameMakesAnEndTag) {
    EXPECT_EQ(DumpOf(L"<html><div>a<div/>b"), L"html(div\"a\" #\"b\")");
    EXPECT_EQ(DumpOf(L"<html><div>a<d/iv>b"), L"html(div\"a\" #\"b\")");
}

TEST(HtmlTagNames, AnEmptyNameGivesAnElementThatTakesChildren) {
    EXPECT_EQ(DumpOf(L"<html><>a<b>c"), L"html(#\"a\"(b\"c\"))");
    EXPECT_EQ(DumpOf(L"<html>< >a"), L"html(#\"a\")");
}

TEST(HtmlAttributes, NamesKeepTheirCaseAfterTheFirstLetter) {
    auto parser = ParsePage(L"<html><a onClick=\"f()\" Href=\"x\" ID=\"y\" id=\"z\">t</a>");
    const CHtmlElement* a = First(*parser, L"a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->m_attributes.size(), 3u);
    EXPECT_EQ(a->m_attributes[0].m_name, L"onClick");
    EXPECT_EQ(a->m_attributes[0].m_value, L"f()");
    EXPECT_EQ(a->m_attributes[1].m_name, L"href");
    EXPECT_EQ(a->m_attributes[2].m_name, L"iD");
    EXPECT_EQ(a->m_attributes[2].m_value, L"y");
    EXPECT_EQ(a->m_id, L"z");
}

TEST(HtmlAttributes, UnquotedValuesEndOnlyAtSpaceOrGreaterThan) {
    auto parser = ParsePage(L"<html><img src=a\tb.png alt=x/y>z");
    const CHtmlElement* img = First(*parser, L"img");
    ASSERT_NE(img, nullptr);
    ASSERT_EQ(img->m_attributes.size(), 2u);
    EXPECT_EQ(img->m_attributes[0].m_value, L"a\tb.png");
    EXPECT_EQ(img->m_attributes[1].m_value, L"x/y");
    EXPECT_EQ(Dump(parser->GetRoot()), L"html(img #\"z\")");
}

TEST(HtmlAttributes, DoubleQuotedValuesKeepEverythingUpToTheQuote) {
    auto parser = ParsePage(L"<html><a title=\"a > b\n'c'\" x=pre\"quoted part\">t</a>");
    const CHtmlElement* a = First(*parser, L"a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->m_attributes.size(), 2u);
    EXPECT_EQ(a->m_attributes[0].m_value, L"a > b\n'c'");
    EXPECT_EQ(a->m_attributes[1].m_value, L"prequoted part");
    EXPECT_EQ(a->m_text, L"t");
}

TEST(HtmlAttributes, SingleQuotesHaveNoMeaning) {
    auto parser = ParsePage(L"<html><a title='x y'>t</a>");
    const CHtmlElement* a = First(*parser, L"a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->m_attributes.size(), 2u);
    EXPECT_EQ(a->m_attributes[0].m_name, L"title");
    EXPECT_EQ(a->m_attributes[0].m_value, L"'x");
    EXPECT_EQ(a->m_attributes[1].m_name, L"y'");
    EXPECT_EQ(a->m_attributes[1].m_value, L"");
}

TEST(HtmlAttributes, NameRunsOverSpacesAndQuotesUntilEquals) {
    auto parser = ParsePage(L"<html><td nowrap class=\"c\" b\"q=d>");
    const CHtmlElement* td = First(*parser, L"td");
    ASSERT_NE(td, nullptr);
    ASSERT_EQ(td->m_attributes.size(), 2u);
    EXPECT_EQ(td->m_attributes[0].m_name, L"nowrap class");
    EXPECT_EQ(td->m_attributes[0].m_value, L"c");
    EXPECT_EQ(td->m_attributes[1].m_name, L"b\"q");
    EXPECT_EQ(td->m_class, L"");
}

TEST(HtmlAttributes, ASlashAfterASpaceIsAnAttributeOfAStartTag) {
    auto parser = ParsePage(L"<html><br />x");
    const CHtmlElement* br = First(*parser, L"br");
    ASSERT_NE(br, nullptr);
    ASSERT_EQ(br->m_attributes.size(), 1u);
    EXPECT_EQ(br->m_attributes[0].m_name, L"/");
    EXPECT_EQ(Dump(parser->GetRoot()), L"html(br #\"x\")");
}

TEST(HtmlAttributes, IdAndClassKeepTheLastValueAndStayOutOfTheList) {
    auto parser = ParsePage(L"<html><div id=a class=x id=b class=\"y z\" data-k=v>");
    const CHtmlElement* div = First(*parser, L"div");
    ASSERT_NE(div, nullptr);
    EXPECT_EQ(div->m_id, L"b");
    EXPECT_EQ(div->m_class, L"y z");
    ASSERT_EQ(div->m_attributes.size(), 1u);
    EXPECT_EQ(div->m_attributes[0].m_name, L"data-k");
}

TEST(HtmlAttributes, InAnEndTagTheyGoToTheElementThatIsCurrentAfterIt) {
    auto parser = ParsePage(L"<html><div></div class=late>");
    EXPECT_EQ(parser->GetRoot()->m_class, L"late");
    EXPECT_EQ(First(*parser, L"div")->m_class, L"");
}

TEST(HtmlAttributes, WithoutACurrentElementTheyAreDropped) {
    auto parser = ParsePage(L"<html></html id=gone>");
    EXPECT_EQ(parser->GetRoot()->m_id, L"");
    EXPECT_TRUE(parser->GetRoot()->m_attributes.empty());
}

TEST(HtmlReferences, NamedReferencesAreDecodedInText) {
    EXPECT_EQ(DumpOf(L"<html><p>a &amp; b</p>"), L"html(p\"a & b\")");
    auto parser = ParsePage(
        L"<html><p>&darr;&mdash;&gt;&larr;&minus;&nbsp;&ndash;&rarr;&thinsp;&times;"
        L"&spades;&hearts;&diams;&clubs;&quot;&amp;");
    EXPECT_EQ(First(*parser, L"p")->m_text,
              L"\x2193\x2014>\x2190\x2212\xA0\x2013\x2192\x2009\xD7\x2660\x2665\x2666\x2663\"&");
}

TEST(HtmlReferences, HexReferencesInEitherCase) {
    EXPECT_EQ(DumpOf(L"<html><p>&#x41;&#X41;&#x263a;"), L"html(p\"AA\x263A\")");
    // Reading stops at the first non-digit; only the low 16 bits count.
    EXPECT_EQ(DumpOf(L"<html><p>&#x42zz;&#x10043;"), L"html(p\"BC\")");
}

TEST(HtmlReferences, HexReadingFollowsTheCRuntime) {
    // strtoul accepts leading blanks and a 0x prefix, negates after a minus
    // sign and saturates at 32 bits, whatever the width of long.
    EXPECT_EQ(DumpOf(L"<html><p>&#x 0x44;&#x-1;&#x123456789;"), L"html(p\"D\xFFFF\xFFFF\")");
}

TEST(HtmlReferences, UnknownDecimalAndZeroReferencesVanish) {
    EXPECT_EQ(DumpOf(L"<html><p>[&#65;][&lt;][&apos;][&AMP;][&bogus;][&#x;][&#x0;][&#xZ;]"),
              L"html(p\"[][][][][][][][]\")");
}

TEST(HtmlReferences, AreNotDecodedInAttributeValues) {
    auto parser = ParsePage(L"<html><a href=\"?a=1&amp;b=2\">");
    EXPECT_EQ(First(*parser, L"a")->GetHref(), std::wstring(L"?a=1&amp;b=2"));
}

TEST(HtmlReferences, AnAmpersandSwallowsEverythingUpToTheNextSemicolon) {
    EXPECT_EQ(DumpOf(L"<html><p>a & b<i>c</i>; d"), L"html(p\"a  d\")");
    EXPECT_EQ(DumpOf(L"<html><p>a &amp b<i>c</i>"), L"html(p\"a \")");
}

TEST(HtmlComments, LeaveNoTraceAndJoinTheTextAround) {
    EXPECT_EQ(DumpOf(L"<html><p>a<!-- <b>x</b> > -- -->b</p>"), L"html(p\"ab\")");
    EXPECT_EQ(DumpOf(L"<!-- top --><html>"), L"html");
}

TEST(HtmlComments, FourDashesMakeACompleteComment) {
    EXPECT_EQ(DumpOf(L"<html><p>a<!---->b"), L"html(p\"ab\")");
    EXPECT_EQ(DumpOf(L"<html><p>a<!-->b--->c"), L"html(p\"ac\")");
}

TEST(HtmlWhitespace, RunsCollapseToOneSpaceAndNothingIsTrimmed) {
    EXPECT_EQ(DumpOf(L"<html><p>  a \n\t b  </p>"), L"html(p\" a b \")");
    EXPECT_EQ(DumpOf(L"<html><body>\n<div>a</div>\n</body>"), L"html(body\" \"(div\"a\" #\" \"))");
}

TEST(HtmlWhitespace, NoBreakSpaceIsText) {
    EXPECT_EQ(DumpOf(L"<html><p>a\xA0\xA0 b"), L"html(p\"a\xA0\xA0 b\")");
}

TEST(HtmlWhitespace, PreKeepsWhitespaceUntilAPreEndTag) {
    EXPECT_EQ(DumpOf(L"<html><pre>a  b\n c</pre> x  \n y"), L"html(pre\"a  b\n c\" #\" x y\")");
    // Closing an enclosing element does not end the preformatted text...
    EXPECT_EQ(DumpOf(L"<html><div><pre>x</div>  a</p>b  c"), L"html(div(pre\"x\") #\"  a\")");
    // ...but a pre end tag does, even one that matches nothing.
    EXPECT_EQ(DumpOf(L"<html><div><pre>x</div></pre><b>  y  z"), L"b(#\" y z\")");
}

TEST(HtmlTokenText, TextReadAsWrittenOrRewrittenComesOutTheSame) {
    // Text that reads as written on the page, text that has to be rewritten
    // (collapsed white space, references, lower-cased names, split values),
    // and the two mixed in either order.
    const struct {
        const wchar_t* page;
        const wchar_t* dump;
    } cases[] = {
        {L"<html><p>one two</p>", L"html(p\"one two\")"},
        {L"<html><p>one  two\tthree \n four</p>", L"html(p\"one two three four\")"},
        {L"<html><p>a&amp;b&gt;c&#x41;</p>", L"html(p\"a&b>cA\")"},
        {L"<html><p>&amp;a b</p>", L"html(p\"&a b\")"},
        {L"<html><p>a<!-- x -->b c<!---->d</p>", L"html(p\"ab cd\")"},
        {L"<HTML><tAbLe><Tr><tD>x</TD>", L"html(table(tr(td\"x\")))"},
        {L"<html><p/q>z", L"html"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DumpOf(c.page), c.dump) << c.page;
    auto parser = ParsePage(L"<html><a Href=x\"y z\"w title=\"t\"u=v>");
    const CHtmlElement* a = parser->GetRoot()->m_firstChild;
    ASSERT_EQ(a->m_attributes.size(), 3u);
    EXPECT_EQ(a->m_attributes[0].m_name, L"href");
    EXPECT_EQ(a->m_attributes[0].m_value, L"xy z");
    EXPECT_EQ(a->m_attributes[1].m_name, L"w title");
    EXPECT_EQ(a->m_attributes[1].m_value, L"t");
    EXPECT_EQ(a->m_attributes[2].m_value, L"v");
}

TEST(HtmlTokenText, TheTreeOutlivesThePageText) {
    std::wstring page = L"<html id=i class=c><p style=\"a:b\">one  two<a href=h>l&amp;</a>three";
    auto parser = ParsePage(page.c_str());
    std::fill(page.begin(), page.end(), L'x');
    page = std::wstring();
    const CHtmlElement* p = parser->GetRoot()->m_firstChild;
    EXPECT_EQ(Dump(parser->GetRoot()), L"html(p\"one two\"(a\"l&\" #\"three\"))");
    EXPECT_EQ(parser->GetRoot()->m_id, L"i");
    EXPECT_EQ(parser->GetRoot()->m_class, L"c");
    EXPECT_EQ(p->m_styles[0].m_value, L"b");
    EXPECT_EQ(std::wstring(p->m_firstChild->GetHref()), L"h");
}

}  // namespace zid
