// The VN Website page and the release catalogue against the local test website.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "log/installer_log.h"
#include "net/download_request.h"
#include "packages/inventory.h"
#include "releases/catalogue_pages.h"
#include "releases/catalogue_read.h"
#include "releases/website_harness.h"
#include "resource.h"
#include "support/website.h"
#include "win/errors.h"
#include "win/platform.h"

namespace {

using Row = std::vector<std::wstring>;

std::wstring Date(const wchar_t* isoDate) {
    return FormatInstallDate(isoDate, L"%u-%u-%u");
}

const std::vector<Row>& ArchiveRows() {
    static const std::vector<Row> rows = {
        {L"Velonar 5.45.3", Date(L"2026-06-15"), L"Security fix"},
        {L"Velonar 5.45", Date(L"2026-04-02"), L""},
        {L"Velonar 5.30.3", Date(L"2025-09-30"), L"Last release for Windows 7"},
        {L"Velonar 5.30.2", Date(L"2025-08-11"), L""},
        {L"Velonar 5.25", Date(L"2024-12-01"), L""},
        {L"Velonar 5.20", Date(L"2024-05-20"), L"First 5.2x release"},
    };
    return rows;
}

class WebsitePage : public WebsiteHarness {};

}  // namespace

TEST_F(WebsitePage, CurrentReleaseFirstThenTheArchiveOfTheCheckedBuild) {
    Platform().Win64 = true;
    Load(L"ok");
    ASSERT_TRUE(m_page->Is64BitChecked());
    std::vector<Row> expected = {{L"Velonar 5.46", Date(L"2026-10-01"), L"Current release"}};
    expected.insert(expected.end(), ArchiveRows().begin(), ArchiveRows().end());
    EXPECT_EQ(Rows(), expected);
    ASSERT_EQ(m_page->Links().size(), expected.size());
    EXPECT_EQ(m_page->Links()[0], L"packages/velonar64-5.46-signed.msi");
    EXPECT_EQ(m_page->Links()[1], L"packages/velonar64-5.45.3-signed.msi");
    EXPECT_EQ(m_page->Links()[2], L"packages/velonar64-5.45.msi");
    EXPECT_EQ(Status(), L"");
    EXPECT_TRUE(IsEnabled(IDC_REFRESH));
    EXPECT_FALSE(IsEnabled(IDC_DOWNLOAD_INSTALL));

    // The other build: its radio button reloads both pages.
    const int starts = CatalogueRequest(0).Starts.load();
    CheckRadioButton(m_page->Window(), IDC_BUILD32, IDC_BUILD64, IDC_BUILD32);
    Command(IDC_BUILD32);
    EXPECT_FALSE(IsEnabled(IDC_REFRESH));
    EXPECT_EQ(Status(), L"Downloading data...");
    ASSERT_TRUE(PumpUntil([] { return !IsCatalogueLoading(); }));
    EXPECT_EQ(CatalogueRequest(0).Starts.load(), starts + 1);
    EXPECT_EQ(Rows(), expected);
    EXPECT_EQ(m_page->Links()[0], L"packages/velonar32-5.46-signed.msi");
    EXPECT_EQ(m_page->Links()[2], L"packages/velonar32-5.45.msi");
}

TEST_F(WebsitePage, FailuresShowTheirStatusAndKeepWhatWasRead) {
    Platform().Win64 = true;
    struct Case {
        const wchar_t* Modes;
        const wchar_t* Page;
        std::wstring Ending;
        size_t Rows;
        bool ArchiveFetched;
    };
    const Case cases[] = {
        {L"404-download", L"Download.htm", L"HTTP status code 404", 0, false},
        {L"missing64", L"Download.htm", L"Download unsuccessful", 0, false},
        // A date in fewer than ten characters: no current release.
        {L"shortdate", L"Download.htm", L"Download unsuccessful", 0, false},
        {L"empty-download", L"Download.htm", L"Download unsuccessful", 0, false},
        {L"500-archive", L"Archive.htm", L"HTTP status code 500", 1, true},
        {L"reset", L"Download.htm", L"", 0, false},  // the reset's own error text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.Modes));
        const int archiveStarts = CatalogueRequest(1).Starts.load();
        Load(c.Modes);
        const std::wstring url = WebsiteBase(c.Modes) + c.Page;
        EXPECT_EQ(Status().substr(0, url.size() + 2), url + L": ");
        if (c.Ending.empty())
            EXPECT_EQ(Status(), url + L": " + GetErrorText(CatalogueRequest(0).ErrorCode));
        else
            EXPECT_EQ(Status(), url + L": " + c.Ending);
        EXPECT_EQ(Rows().size(), c.Rows);
        EXPECT_EQ(m_page->Links().size(), c.Rows);
        EXPECT_TRUE(IsEnabled(IDC_REFRESH));
        EXPECT_EQ(CatalogueRequest(1).Starts.load() > archiveStarts, c.ArchiveFetched);
        DestroyWindow(m_page->Window());
    }
}

TEST_F(WebsitePage, ArchiveTablesAsTheyMayBeWritten) {
    Platform().Win64 = false;
    // Without a header row the first row is data.
    Load(L"tdheader");
    ASSERT_EQ(Rows().size(), 1 + ArchiveRows().size());
    EXPECT_EQ(Rows()[1], ArchiveRows()[0]);
    DestroyWindow(m_page->Window());

    Load(L"baddate");
    ASSERT_EQ(Rows().size(), 1 + ArchiveRows().size());
    EXPECT_EQ(Rows()[1], (Row{L"Velonar 5.45.3", L"", L"Security fix"}));
    EXPECT_EQ(Rows()[2], ArchiveRows()[1]);
    DestroyWindow(m_page->Window());

    Load(L"rows=5000");
    ASSERT_EQ(Rows().size(), 5001u);
    ASSERT_EQ(m_page->Links().size(), 5001u);
    EXPECT_EQ(Rows()[5000][0], L"Velonar 4.49.99");
    EXPECT_EQ(m_page->Links()[5000], L"packages/velonar32-5.45.msi");
}

TEST_F(WebsitePage, RefreshWhileArchiveLoadsDoesNothing) {
    Platform().Win64 = true;
    CreatePage(L"slow=2000");
    ASSERT_TRUE(PumpUntil([] { return IsInProgress(CatalogueRequest(1)); }));
    const int starts = CatalogueRequest(0).Starts.load();
    ASSERT_EQ(Rows().size(), 1u);
    Command(IDC_REFRESH);
    EXPECT_EQ(CatalogueRequest(0).Starts.load(), starts);
    EXPECT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Status(), L"Downloading data...");
    ASSERT_TRUE(PumpUntil([] { return !IsCatalogueLoading(); }));
    EXPECT_EQ(Rows().size(), 1 + ArchiveRows().size());
}

TEST_F(WebsitePage, DefaultBuildFollowsTheSystemAndThisPc) {
    struct Case {
        bool Win64;
        int Count32;
        int Count64;
        int Checked;
        bool Enabled64;
    };
    for (const Case& c : {Case{false, 0, 0, IDC_BUILD32, false}, Case{true, 0, 0, IDC_BUILD64, true},
                          Case{true, 1, 0, IDC_BUILD32, true}, Case{true, 1, 1, IDC_BUILD64, true},
                          Case{true, 0, 2, IDC_BUILD64, true}}) {
        Platform().Win64 = c.Win64;
        m_installed.Count32Value = c.Count32;
        m_installed.Count64Value = c.Count64;
        SetDownloadEngine(nullptr);  // no download: only the buttons matter here
        CreatePage(L"ok");
        HWND page = m_page->Window();
        EXPECT_EQ(IsDlgButtonChecked(page, c.Checked), static_cast<UINT>(BST_CHECKED)) << c.Win64 << c.Count32;
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(page, IDC_BUILD64)) != FALSE, c.Enabled64);
        DestroyWindow(page);
    }
    SetDownloadEngine(m_engine.get());
}

TEST_F(WebsitePage, ListColumnsSelectionAndColours) {
    Platform().Win64 = true;
    Load(L"ok");
    HWND list = m_page->List();
    EXPECT_EQ(ListView_GetExtendedListViewStyle(list) & (LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP),
              static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP));
    wchar_t heading[32] = L"";
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = heading;
    column.cchTextMax = 32;
    ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, 2, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(heading, L"Note");
    RECT client{};
    GetClientRect(list, &client);
    const int last = client.right - ListView_GetColumnWidth(list, 0) - ListView_GetColumnWidth(list, 1) -
                     GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(ListView_GetColumnWidth(list, 2), last);

    SelectRow(2);
    EXPECT_TRUE(IsEnabled(IDC_DOWNLOAD_INSTALL));
    ListView_SetItemState(list, 2, 0, LVIS_SELECTED);
    EXPECT_FALSE(IsEnabled(IDC_DOWNLOAD_INSTALL));

    HDC dc = GetDC(m_page->Window());
    EXPECT_EQ(SendMessageW(m_page->Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(GetDlgItem(m_page->Window(), IDC_CAPTION))),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
    ReleaseDC(m_page->Window(), dc);
}

TEST_F(WebsitePage, WithoutASelectionThereIsNothingToDownload) {
    Platform().Win64 = true;
    Load(L"ok");
    AddLogLine(L"earlier line");
    NMHDR click{m_page->List(), IDC_LIST1, static_cast<UINT>(NM_DBLCLK)};
    SendMessageW(m_page->Window(), WM_NOTIFY, IDC_LIST1, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(LogPaneText().substr(9), L"Cannot download\r\n");
    EXPECT_TRUE(IsWindowEnabled(m_main));
}

TEST_F(WebsitePage, StartFailureOfTheFirstPageShowsItsError) {
    SetDownloadEngine(nullptr);
    CreatePage(L"ok");
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Status(), CatalogueRequest(0).Url + L": " + GetErrorText(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(IsEnabled(IDC_REFRESH));
    SetDownloadEngine(m_engine.get());
}

TEST(CatalogueRead, PackageNameAndPageText) {
    std::wstring name;
    EXPECT_TRUE(PackageNameOf(L"Velonar 5.70 for Windows", name));
    EXPECT_EQ(name, L"Velonar 5.70");
    EXPECT_TRUE(PackageNameOf(L"Get Velonar 5.45.3", name));
    EXPECT_EQ(name, L"Velonar 5.45.3");
    EXPECT_FALSE(PackageNameOf(L"Velonar5.70", name));
    EXPECT_EQ(PageText("caf\xC3\xA9 \xE2\x82\xAC"), L"caf\u00E9 \u20AC");
    EXPECT_EQ(PageText(std::string("ab\0cd", 5)), L"ab");
}
