// Real-shaped website pages, read with the same queries the website reader
// runs on Download.htm and Archive.htm.
#include <gtest/gtest.h>

#include <cwctype>

#include "test_pages.h"
#include "tree_dump.h"

namespace zid {

namespace {

const wchar_t* Page(const wchar_t* name) {
    for (const TestPage& page : TestPages())
        if (std::wstring(page.name) == name)
            return page.text;
    ADD_FAILURE() << "no test page named " << testing::PrintToString(std::wstring(name));
    return L"";
}

struct CurrentRelease {
    std::wstring link;
    std::wstring name;  // "Velonar " and the version
    std::wstring date;  // the ten characters after "Released "
};

// The reading of Download.htm: first "a" and first "p" at or after the id.
bool ReadCurrent(const CHtmlParser& parser, const wchar_t* id, CurrentRelease& out) {
    CHtmlElement* block = parser.FindById(id);
    if (!block)
        return false;
    CHtmlElement* a = block->FindByTag(L"a");
    if (!a || !a->GetHref())
        return false;
    out.link = a->GetHref();
    const std::wstring_view name = a->m_text;
    size_t at = name.find(L"Velonar ");
    if (at == std::wstring::npos)
        return false;
    size_t end = at + 8;
    while (end < name.size() && (name[end] == L'.' || std::iswdigit(name[end])))
        ++end;
    out.name = name.substr(at, end - at);
    CHtmlElement* p = block->FindByTag(L"p");
    if (!p)
        return false;
    const std::wstring_view text = p->m_text;
    size_t released = text.find(L"Released ");
    if (released == std::wstring::npos || text.size() - (released + 9) < 10)
        return false;
    out.date = text.substr(released + 9, 10);
    return true;
}

struct ArchiveRow {
    std::vector<std::wstring> cells;  // untrimmed, as the page has them
};

// The reading of Archive.htm: the first "tr" at or after the id and its
// siblings, an optional first row of "th" cells skipped, links collected
// from cells whose first child is an "a".
std::vector<ArchiveRow> ReadArchive(const CHtmlParser& parser, const wchar_t* id, std::vector<std::wstring>& links) {
    std::vector<ArchiveRow> rows;
    CHtmlElement* table = parser.FindById(id);
    if (!table)
        return rows;
    CHtmlElement* row = table->FindByTag(L"tr");
    if (row && row->m_firstChild && row->m_firstChild->GetTagNameA() == "th")
        row = row->m_next;
    for (; row; row = row->m_next) {
        ArchiveRow data;
        for (CHtmlElement* cell = row->m_firstChild; cell; cell = cell->m_next) {
            CHtmlElement* first = cell->m_firstChild;
            if (first && first->GetTagNameA() == "a") {
                links.push_back(first->GetHref() ? first->GetHref() : L"");
                data.cells.push_back(first->m_text);
            } else {
                data.cells.push_back(cell->m_text);
            }
        }
        if (!data.cells.empty())
            rows.push_back(data);
    }
    return rows;
}

}  // namespace

TEST(HtmlDownloadPage, CurrentReleaseOfBothBuilds) {
    auto parser = ParsePage(Page(L"Download.htm"));
    CurrentRelease r32;
    ASSERT_TRUE(ReadCurrent(*parser, L"vncurrent32", r32));
    EXPECT_EQ(r32.link, L"files/Velonar-5.70-x86.msi");
    EXPECT_EQ(r32.name, L"Velonar 5.70");
    EXPECT_EQ(r32.date, L"2024-03-18");
    CurrentRelease r64;
    ASSERT_TRUE(ReadCurrent(*parser, L"vncurrent64", r64));
    EXPECT_EQ(r64.link, L"files/Velonar-5.70-x64.msi");
}

TEST(HtmlDownloadPage, TheRestOfThePageIsBuiltAsWritten) {
    auto parser = ParsePage(Page(L"Download.htm"));
    ASSERT_NE(parser->GetRoot(), nullptr);
    EXPECT_EQ(parser->GetRoot()->m_tag, L"!doctype");
    const CHtmlElement* title = parser->GetRoot()->FindByTag(L"title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->m_text, L"Velonar \x2014 Download");
    // The paragraph before the release block was closed by its div.
    const CHtmlElement* block = parser->FindById(L"vncurrent32");
    EXPECT_EQ(block->m_parent, parser->FindById(L"content"));
    EXPECT_EQ(block->m_class, L"release");
    const CHtmlElement* released = block->FindByTag(L"p");
    EXPECT_EQ(released->m_text, L"Released 2024-03-18 \x2013 ");
    EXPECT_EQ(released->m_parent, block);
    // &copy; is not a reference the reader knows.
    const CHtmlElement* foot = parser->GetRoot()->FindByTag(L"div");
    while (foot && foot->m_class != L"foot")
        foot = foot->m_next;
    ASSERT_NE(foot, nullptr);
    EXPECT_EQ(foot->m_text, L" Corrabel & friends");
}

TEST(HtmlDownloadPage, MissingBlocksAreNotFound) {
    auto parser = ParsePage(L"<html><body><div id=vncurrent32><a>Velonar 5.70</a></div>");
    CurrentRelease r;
    EXPECT_FALSE(ReadCurrent(*parser, L"vncurrent32", r));  // no href
    EXPECT_FALSE(ReadCurrent(*parser, L"vncurrent64", r));
}

TEST(HtmlArchivePage, TableWithHeaderRow) {
    auto parser = ParsePage(Page(L"Archive.htm"));
    std::vector<std::wstring> links;
    std::vector<ArchiveRow> rows = ReadArchive(*parser, L"archive32bit", links);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells, (std::vector<std::wstring>{L"Velonar 5.60", L"2023-11-02",
                                                        L"Last release for Windows\xA0"
                                                        L"7"}));
    EXPECT_EQ(rows[1].cells, (std::vector<std::wstring>{L"Velonar 5.51", L" 2023-06-20 ", L"Security fix"}));
    EXPECT_EQ(rows[2].cells[2], L"First 5.x release \x2192 see notes");
    EXPECT_EQ(links, (std::vector<std::wstring>{L"files/Velonar-5.60-x86.msi", L"files/Velonar-5.51-x86.msi",
                                                L"files/Velonar-5.50-x86.msi"}));
}

TEST(HtmlArchivePage, TableWithoutHeaderOrEndTags) {
    auto parser = ParsePage(Page(L"Archive.htm"));
    std::vector<std::wstring> links;
    std::vector<ArchiveRow> rows = ReadArchive(*parser, L"archive64bit", links);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cells, (std::vector<std::wstring>{L"Velonar 5.60", L"2023-11-02",
                                                        L"Last release for Windows\xA0"
                                                        L"7 "}));
    EXPECT_EQ(rows[1].cells, (std::vector<std::wstring>{L"Velonar 5.51", L"2023-06-20", L"Security fix "}));
    EXPECT_EQ(links, (std::vector<std::wstring>{L"files/Velonar-5.60-x64.msi", L"files/Velonar-5.51-x64.msi"}));
}

TEST(HtmlArchivePage, AFirstRowOfDataCellsIsData) {
    auto parser =
        ParsePage(L"<html><table id=archive32bit><tr><td><a href=x.msi>Velonar 1.0</a><td>2020-01-02<td>n</table>");
    std::vector<std::wstring> links;
    std::vector<ArchiveRow> rows = ReadArchive(*parser, L"archive32bit", links);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cells[0], L"Velonar 1.0");
    EXPECT_EQ(links, std::vector<std::wstring>{L"x.msi"});
}

TEST(HtmlTestPages, EveryPageGivesAConsistentTree) {
    for (const TestPage& page : TestPages()) {
        auto parser = ParsePage(page.text);
        ASSERT_NE(parser->GetRoot(), nullptr) << testing::PrintToString(std::wstring(page.name));
        for (const CHtmlElement* e = parser->GetRoot(); e; e = e->NextInDocument()) {
            const CHtmlElement* last = nullptr;
            for (const CHtmlElement* c = e->m_firstChild; c; c = c->m_next) {
                EXPECT_EQ(c->m_parent, e);
                last = c;
            }
            EXPECT_EQ(e->m_lastChild, last);
        }
    }
}

}  // namespace zid
