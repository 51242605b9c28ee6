#include "releases/catalogue_read.h"

#include <windows.h>

#include <cwctype>

#include "html/html_parser.h"
#include "packages/inventory.h"
#include "releases/catalogue_view.h"
#include "win/handles.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

constexpr wchar_t kProductPrefix[] = L"Velonar ";
constexpr wchar_t kReleased[] = L"Released ";
constexpr size_t kDateLength = 10;  // YYYY-MM-DD
constexpr wchar_t kDatePattern[] = L"%u-%u-%u";
constexpr wchar_t kCurrentNote[] = L"Current release";

std::wstring Trimmed(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(text[begin]))
        ++begin;
    while (end > begin && std::iswspace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// The first link at or after the element with id, or null.
const wchar_t* LinkAfter(const CHtmlParser& parser, const wchar_t* id, const CHtmlElement** link = nullptr) {
    const CHtmlElement* element = parser.FindById(id);
    const CHtmlElement* anchor = element ? element->FindByTag(L"a") : nullptr;
    if (link)
        *link = anchor;
    return anchor ? anchor->GetHref() : nullptr;
}

bool ReadReleaseDate(const CHtmlElement& release, std::wstring& date) {
    const CHtmlElement* paragraph = release.FindByTag(L"p");
    if (!paragraph)
        return false;
    const std::wstring& text = paragraph->m_text;
    const size_t found = text.find(kReleased);
    if (found == std::wstring::npos)
        return false;
    const size_t start = found + (sizeof(kReleased) / sizeof(wchar_t) - 1);
    if (text.size() - start < kDateLength)
        return false;
    date = FormatInstallDate(text.substr(start, kDateLength), kDatePattern);
    return true;
}

// One data row of an archive table: cells in order, the first cell's link to the row links.
void ReadArchiveRow(const CHtmlElement& row, ICatalogueView& page) {
    int listRow = -1;
    int column = 0;
    for (const CHtmlElement* cell = row.m_firstChild; cell; cell = cell->m_next, ++column) {
        const CHtmlElement* child = cell->m_firstChild;
        std::wstring text;
        if (child && child->GetTagNameA() == "a") {
            const wchar_t* href = child->GetHref();
            page.AppendLink(href ? href : L"");
            text = child->m_text;
        } else {
            text = cell->m_text;
        }
        // What the page says is shown as text only: nothing in it may reorder or hide what is listed.
        text = ShownText(Trimmed(text));
        if (column == 0) {
            listRow = page.AppendRow(text);
            continue;
        }
        if (column == 1)
            text = FormatInstallDate(text, kDatePattern);
        page.SetCell(listRow, column, text);
    }
}

}  // namespace

std::wstring PageText(const std::string& body) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, body.c_str(), -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, body.c_str(), -1, text.data(), length);
    text.resize(static_cast<size_t>(length) - 1);
    return text;
}

bool PackageNameOf(const std::wstring& linkText, std::wstring& name) {
    const size_t start = linkText.find(kProductPrefix);
    if (start == std::wstring::npos)
        return false;
    size_t end = start + (sizeof(kProductPrefix) / sizeof(wchar_t) - 1);
    while (end < linkText.size() && (linkText[end] == L'.' || (linkText[end] >= L'0' && linkText[end] <= L'9')))
        ++end;
    name = linkText.substr(start, end - start);
    return true;
}

bool ReadCurrentRelease(const CHtmlParser& parser, ICatalogueView& page) {
    const CHtmlElement* release = parser.FindById(L"vncurrent32");
    const CHtmlElement* anchor = nullptr;
    const wchar_t* link = LinkAfter(parser, L"vncurrent32", &anchor);
    std::wstring name;
    std::wstring date;
    if (!link || !PackageNameOf(anchor->m_text, name) || !ReadReleaseDate(*release, date))
        return false;
    // The 64-bit release has the same name and date; only its link differs.
    if (page.Is64BitChecked()) {
        link = LinkAfter(parser, L"vncurrent64");
        if (!link)
            return false;
    }
    page.InsertRow(0, ShownText(name), date, kCurrentNote, link);
    page.FitColumns();
    return true;
}

bool ReadArchive(const CHtmlParser& parser, ICatalogueView& page) {
    const CHtmlElement* table = parser.FindById(page.Is64BitChecked() ? L"archive64bit" : L"archive32bit");
    if (!table)
        return false;
    // Thousands of rows go in without a repaint each.
    page.BeginRows();
    scope_exit end([&page] { page.EndRows(); });
    const CHtmlElement* first = table->FindByTag(L"tr");
    for (const CHtmlElement* row = first; row; row = row->m_next) {
        const bool header = row == first && row->m_firstChild && row->m_firstChild->GetTagNameA() == "th";
        if (!header)
            ReadArchiveRow(*row, page);
    }
    return true;
}

}  // namespace zid
