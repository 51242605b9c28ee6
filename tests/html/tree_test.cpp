// Where new elements and text land: implied end tags, void elements, the
// br rule, end tags that match nothing, and the root.
#include <gtest/gtest.h>

#include "tree_dump.h"

namespace zid {

namespace {

std::wstring DumpOf(const wchar_t* text) {
    return DumpRoot(*ParsePage(text));
}

}  // namespace

TEST(HtmlImpliedEnds, ListItemsCloseEachOther) {
    EXPECT_EQ(DumpOf(L"<html><body><ul><li>a<li>b</ul>"), L"html(body(ul(li\"a\" li\"b\")))");
}

TEST(HtmlImpliedEnds, ANestedListKeepsItsOwnItems) {
    EXPECT_EQ(DumpOf(L"<html><ul><li>a<ul><li>b<li>c</ul><li>d</ul>"),
              L"html(ul(li\"a\"(ul(li\"b\" li\"c\")) li\"d\"))");
}

TEST(HtmlImpliedEnds, ParagraphIsClosedByBlockStartTags) {
    EXPECT_EQ(DumpOf(L"<html><body><p>a<div>b</div>"), L"html(body(p\"a\" div\"b\"))");
    EXPECT_EQ(DumpOf(L"<html><body><p>a<form>b</form>"), L"html(body(p\"a\" form\"b\"))");
    EXPECT_EQ(DumpOf(L"<html><body><p>a<p>b"), L"html(body(p\"a\" p\"b\"))");
    EXPECT_EQ(DumpOf(L"<html><body><p>a<span>b"), L"html(body(p\"a\"(span\"b\")))");
}

TEST(HtmlImpliedEnds, TheParentIsClosedAsWellAsTheCurrentElement) {
    EXPECT_EQ(DumpOf(L"<html><body><p>a<b>x<div>y"), L"html(body(p\"a\"(b\"x\") div\"y\"))");
}

TEST(HtmlImpliedEnds, OnlyTwoLevelsAreClosed) {
    EXPECT_EQ(DumpOf(L"<html><body><p>a<span><b>x<div>y"), L"html(body(p\"a\"(span(b\"x\"(div\"y\")))))");
}

TEST(HtmlImpliedEnds, TheRootIsNeverClosed) {
    EXPECT_EQ(DumpOf(L"<p>a<b>x<div>y"), L"p(#\"a\" b\"x\" div\"y\")");
}

TEST(HtmlImpliedEnds, TableWithoutEndTags) {
    EXPECT_EQ(DumpOf(L"<html><body><table><tr><td>1<td>2<tr><td>3</table>x"),
              L"html(body(table(tr(td\"1\" td\"2\") tr(td\"3\")) #\"x\"))");
}

TEST(HtmlImpliedEnds, HeaderAndDataCellsCloseEachOther) {
    EXPECT_EQ(DumpOf(L"<html><tr><th>a<td>b<th>c"), L"html(tr(th\"a\" td\"b\" th\"c\"))");
}

TEST(HtmlImpliedEnds, DefinitionTermsAndDescriptions) {
    EXPECT_EQ(DumpOf(L"<html><dl><dt>a<dd>b<dt>c<dd>d</dl>"), L"html(dl(dt\"a\" dd\"b\" dt\"c\" dd\"d\"))");
}

TEST(HtmlImpliedEnds, TableSections) {
    EXPECT_EQ(DumpOf(L"<html><table><thead>h<tbody>b<tfoot>f<tbody>c</table>"),
              L"html(table(thead\"h\" tbody\"b\" tfoot\"f\" tbody\"c\"))");
    // A thead does not close a tfoot.
    EXPECT_EQ(DumpOf(L"<html><table><tfoot>f<thead>h"), L"html(table(tfoot\"f\"(thead\"h\")))");
}

TEST(HtmlEndTags, CloseEverythingBelowTheMatchingElement) {
    EXPECT_EQ(DumpOf(L"<html><div><span><b>x</div>y"), L"html(div(span(b\"x\")) #\"y\")");
}

TEST(HtmlEndTags, AnUnmatchedEndTagDropsTextUntilANewRoot) {
    EXPECT_EQ(DumpOf(L"<html><body><p>a</span>lost<div>c"), L"div(#\"c\")");
}

TEST(HtmlEndTags, ABrWithItsSlashBeforeTheCloseLeavesNoCurrentElement) {
    EXPECT_EQ(DumpOf(L"<html><p>a<br/>lost<i>c"), L"i(#\"c\")");
}

TEST(HtmlEndTags, ClosingTheRootStartsAnotherDocument) {
    EXPECT_EQ(DumpOf(L"<a>x</a>lost<b>y"), L"b(#\"y\")");
}

TEST(HtmlVoidElements, AreClosedHoweverTheirTagEnds) {
    EXPECT_EQ(DumpOf(L"<html><div>a<img src=x>b<wbr>c<input type=\"t\" >d<hr class=z>e</div>"),
              L"html(div\"a\"(img #\"b\" wbr #\"c\" input #\"d\" hr #\"e\"))");
}

TEST(HtmlVoidElements, OtherElementsStayOpen) {
    EXPECT_EQ(DumpOf(L"<html><div><span>a<em>b"), L"html(div(span\"a\"(em\"b\")))");
}

TEST(HtmlBrRule, TextAfterBrBecomesAnAnonymousChild) {
    EXPECT_EQ(DumpOf(L"<html><body><p>a<br>b</p>"), L"html(body(p\"a\"(br #\"b\")))");
}

TEST(HtmlBrRule, WhitespaceAfterBrIsDropped) {
    EXPECT_EQ(DumpOf(L"<html><body><p>a<br> </p>"), L"html(body(p\"a\"(br)))");
    EXPECT_EQ(DumpOf(L"<html><body><p>a<br>\n\t </p>"), L"html(body(p\"a\"(br)))");
    EXPECT_EQ(DumpOf(L"<html><body><pre>a<br>\n\t </pre>"), L"html(body(pre\"a\"(br)))");
}

TEST(HtmlBrRule, WhitespaceAfterOtherChildrenIsKept) {
    EXPECT_EQ(DumpOf(L"<html><p>a<b>x</b> </p>"), L"html(p\"a\"(b\"x\" #\" \"))");
}

TEST(HtmlBrRule, AtTheRootEvenLeadingTextIsAnAnonymousChild) {
    EXPECT_EQ(DumpOf(L"<p>a<br>b</p>"), L"p(#\"a\" br #\"b\")");
    EXPECT_EQ(DumpOf(L"<p>a<br> </p>"), L"p(#\"a\" br)");
}

TEST(HtmlDoctype, BecomesAnElementThatHoldsThePage) {
    auto parser = ParsePage(L"<!DOCTYPE html>\n<html><head><title>T</title></head><body>x</body></html>");
    const CHtmlElement* root = parser->GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->m_tag, L"!doctype");
    ASSERT_EQ(root->m_attributes.size(), 1u);
    EXPECT_EQ(root->m_attributes[0].m_name, L"html");
    EXPECT_EQ(root->m_attributes[0].m_value, L"");
    EXPECT_EQ(Dump(root), L"!doctype(#\" \" html(head(title\"T\") body\"x\"))");
}

TEST(HtmlTreeLinks, ChildrenParentsAndLastChildAgree) {
    auto parser = ParsePage(L"<html><ul><li>a<li>b<b>c</b>d<li>e</ul>f");
    const CHtmlElement* root = parser->GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->m_parent, nullptr);
    for (const CHtmlElement* e = root; e; e = e->NextInDocument()) {
        const CHtmlElement* last = nullptr;
        for (const CHtmlElement* c : Children(e)) {
            EXPECT_EQ(c->m_parent, e);
            last = c;
        }
        EXPECT_EQ(e->m_lastChild, last);
        if (e->m_tag.empty() && e != root) {
            EXPECT_EQ(e->m_firstChild, nullptr);
            EXPECT_TRUE(e->m_attributes.empty());
        }
    }
}

}  // namespace zid
