// The VN Website page and the release catalogue against the local test website.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "net/download_request.h"
#include "packages/inventory.h"
#include "releases/catalogue_pages.h"
#include "releases/catalogue_read.h"
#include "ui/website_harness.h"
#include "resource.h"
#include "support/website.h"
#include "win/errors.h"
#include "win/platform.h"

namespace zid {

namespace {

using Row = std::vector<std::wstring>;

std::wstring Date(const wchar_t* isoDate) {
    return FormatInstallDate(isoDate, L"%u-%u-%u");
}

// The website's catalogue: the current release, then the archive in page order.
const std::vector<Row> kCatalogue = {
    {L"Velonar 5.46", Date(L"2026-10-01"), L"Current release"},
    {L"Velonar 5.45.3", Date(L"2026-06-15"), L"Security fix"},
    {L"Velonar 5.45", Date(L"2026-04-02"), L""},
    {L"Velonar 5.30.3", Date(L"2025-09-30"), L"Last release for Windows 7"},
    {L"Velonar 5.30.2", Date(L"2025-08-11"), L""},
    {L"Velonar 5.25", Date(L"2024-12-01"), L""},
    {L"Velonar 5.20", Date(L"2024-05-20"), L"First 5.2x release"},
};

class WebsitePage : public WebsiteHarness {};

}  // namespace

TEST_F(WebsitePage, CurrentReleaseFirstThenTheArchiveOfTheCheckedBuild) {
    Load(L"ok");
    EXPECT_EQ(Rows(), kCatalogue);
    const std::vector<std::wstring> links64(m_page->Links().begin(), m_page->Links().begin() + 3);
    EXPECT_EQ(links64,
              (std::vector<std::wstring>{L"packages/velonar64-5.46-signed.msi", L"packages/velonar64-5.45.3-signed.msi",
                                         L"packages/velonar64-5.45.msi"}));
    EXPECT_EQ(Status(), L"");
    EXPECT_TRUE(IsEnabled(IDC_REFRESH));
    EXPECT_FALSE(IsEnabled(IDC_DOWNLOAD_INSTALL));

    // The other build's radio button reloads both pages and lists that build.
    CheckRadioButton(m_page->Window(), IDC_BUILD32, IDC_BUILD64, IDC_BUILD32);
    Command(IDC_BUILD32);
    EXPECT_FALSE(IsEnabled(IDC_REFRESH));
    EXPECT_EQ(Status(), L"Downloading data...");
    EXPECT_TRUE(Rows().empty());
    ASSERT_TRUE(PumpUntil([this] { return IsEnabled(IDC_REFRESH); }));
    EXPECT_EQ(Rows(), kCatalogue);
    EXPECT_EQ(m_page->Links()[2], L"packages/velonar32-5.45.msi");
}

TEST_F(WebsitePage, FailuresShowTheirStatusAndKeepWhatWasRead) {
    const struct {
        const wchar_t* Modes;
        const wchar_t* Page;
        const wchar_t* Ending;  // null: the recorded error's text
        size_t Rows;
    } cases[] = {
        {L"404-download", L"Download.htm", L"HTTP status code 404", 0},
        {L"missing64", L"Download.htm", L"Download unsuccessful", 0},
        {L"shortdate", L"Download.htm", L"Download unsuccessful", 0},  // date of fewer than 10 characters
        {L"empty-download", L"Download.htm", L"Download unsuccessful", 0},
        {L"500-archive", L"Archive.htm", L"HTTP status code 500", 1},
        {L"reset", L"Download.htm", nullptr, 0},
        {L"cut", L"Download.htm", nullptr, 0},        // a clean end before the announced length
        {L"rows=40000", L"Archive.htm", nullptr, 1},  // 9 MB: past the ceiling of a page, not parsed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes));
        const int archiveStarts = CatalogueRequest(1).Starts.load();
        Load(c.Modes);
        const std::wstring ending = c.Ending ? c.Ending : GetErrorText(CatalogueRequest(c.Rows > 0).ErrorCode);
        EXPECT_EQ(Status(), WebsiteBase(c.Modes) + c.Page + L": " + ending);
        EXPECT_EQ(Rows().size(), c.Rows);
        EXPECT_EQ(m_page->Links().size(), c.Rows);
        EXPECT_TRUE(IsEnabled(IDC_REFRESH));
        EXPECT_EQ(CatalogueRequest(1).Starts.load() > archiveStarts, c.Rows > 0) << "Archive.htm fetched";
    }
}

TEST_F(WebsitePage, ArchiveTablesAsTheyMayBeWritten) {
    m_platform.Win64 = false;
    Load(L"tdheader");  // no header row: the first row is data
    EXPECT_EQ(Rows(), kCatalogue);
    Load(L"baddate");
    ASSERT_EQ(Rows().size(), kCatalogue.size());
    EXPECT_EQ(Rows()[1], (Row{L"Velonar 5.45.3", L"", L"Security fix"}));
    Load(L"rows=5000");
    ASSERT_EQ(Rows().size(), 5001u);
    EXPECT_EQ(Rows()[5000][0], L"Velonar 4.49.99");
    EXPECT_EQ(m_page->Links().size(), 5001u);
}

TEST_F(WebsitePage, RefreshWhileArchiveLoadsDoesNothing) {
    CreatePage(L"slow=2000");
    ASSERT_TRUE(PumpUntil([] { return IsInProgress(CatalogueRequest(1)); }));
    const int starts = CatalogueRequest(0).Starts.load();
    SendMessageW(m_page->Window(), WM_COMMAND, MAKEWPARAM(IDC_REFRESH, 1), 0);  // F5
    EXPECT_EQ(CatalogueRequest(0).Starts.load(), starts);
    EXPECT_EQ(Rows().size(), 1u);
    ASSERT_TRUE(PumpUntil([this] { return IsEnabled(IDC_REFRESH); }));
    EXPECT_EQ(Rows(), kCatalogue);
}

// Only the buttons matter here: the engine runs without a session.
class WebsitePageWithoutSession : public WebsitePage {
protected:
    void SetUp() override {
        m_openSession = false;
        WebsitePage::SetUp();
    }
};

TEST_F(WebsitePageWithoutSession, DefaultBuildFollowsTheSystemAndThisPc) {
    const struct {
        bool Win64;
        int Count32, Count64, Checked;
    } cases[] = {{false, 0, 0, IDC_BUILD32},
                 {true, 0, 0, IDC_BUILD64},
                 {true, 1, 0, IDC_BUILD32},
                 {true, 1, 1, IDC_BUILD64},
                 {true, 0, 2, IDC_BUILD64}};
    for (const auto& c : cases) {
        m_platform.Win64 = c.Win64;
        m_installed.Count32Value = c.Count32;
        m_installed.Count64Value = c.Count64;
        CreatePage(L"ok");
        EXPECT_EQ(IsDlgButtonChecked(m_page->Window(), c.Checked), static_cast<UINT>(BST_CHECKED));
        EXPECT_EQ(IsEnabled(IDC_BUILD64), c.Win64);
    }
    // Without a session the first page cannot start: its error shows and Refresh stays enabled.
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Status(), CatalogueRequest(0).Url + L": " + GetErrorText(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(IsEnabled(IDC_REFRESH));
}

TEST_F(WebsitePage, ColumnsSelectionColoursAndNoSelection) {
    Load(L"ok");
    HWND list = m_page->List();
    EXPECT_EQ(ListView_GetExtendedListViewStyle(list), static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP));
    RECT client{};
    GetClientRect(list, &client);
    EXPECT_EQ(ListView_GetColumnWidth(list, 2), client.right - ListView_GetColumnWidth(list, 0) -
                                                    ListView_GetColumnWidth(list, 1) - GetSystemMetrics(SM_CXVSCROLL));
    // The fitted columns show their whole heading, however short their cells.
    EXPECT_GT(ListView_GetColumnWidth(list, 1), ListView_GetStringWidth(list, L"Release Date"));
    SelectRow(2);
    EXPECT_TRUE(IsEnabled(IDC_DOWNLOAD_INSTALL));
    ListView_SetItemState(list, 2, 0, LVIS_SELECTED);
    EXPECT_FALSE(IsEnabled(IDC_DOWNLOAD_INSTALL));
    EXPECT_EQ(SendMessageW(m_page->Window(), WM_CTLCOLORSTATIC, 0, 0),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));

    // A double click without a selected row only says so.
    m_boxes.Log(L"earlier line");
    NMHDR click{list, IDC_LIST1, static_cast<UINT>(NM_DBLCLK)};
    SendMessageW(m_page->Window(), WM_NOTIFY, IDC_LIST1, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(m_boxes.LogText(), L"Cannot download\r\n");
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST(CatalogueRead, PackageNameAndPageText) {
    std::wstring name;
    EXPECT_TRUE(PackageNameOf(L"Get Velonar 5.45.3 for Windows", name));
    EXPECT_EQ(name, L"Velonar 5.45.3");
    EXPECT_FALSE(PackageNameOf(L"Velonar5.70", name));
    EXPECT_EQ(PageText("caf\xC3\xA9 \xE2\x82\xAC"), L"caf\u00E9 \u20AC");
    EXPECT_EQ(PageText(std::string("ab\0cd", 5)), L"ab");
}

}  // namespace zid
