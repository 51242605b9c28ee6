#include "ui/website_harness.h"

#include <commctrl.h>

#include "net/download_messages.h"
#include "releases/catalogue_pages.h"
#include "releases/website_address.h"
#include "resource.h"
#include "support/website.h"
#include "win/errors.h"

namespace zid {

namespace {

CWebsitePage* g_page = nullptr;  // where the stand-in main window hands catalogue pages

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kDownloadFinished)
        return DefWindowProcW(window, message, wParam, lParam);
    auto* request = reinterpret_cast<DownloadRequest*>(lParam);
    std::unique_ptr<DownloadRequest> owned(IsHandedOver(*request) ? request : nullptr);
    if (!owned && g_page)
        g_page->OnCataloguePageFinished(*request);
    return TRUE;
}

}  // namespace

void WebsiteHarness::SetUp() {
    ASSERT_FALSE(WebsiteBase(L"ok").empty()) << "the test website is not running";
    m_main = CreateWindowW(L"STATIC", L"ZIDezureziv", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(m_main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainProc));
    if (m_openSession) {
        ASSERT_EQ(m_engine.Open(m_main), 0u);
    }
    m_platform.Win64 = true;
}

void WebsiteHarness::TearDown() {
    // Nothing may still be loading into the page of the next test.
    EXPECT_TRUE(PumpUntil([] { return !IsCatalogueLoading() && CVNInet::RunningTransfers() == 0; }));
    if (m_page && m_page->Window())
        DestroyWindow(m_page->Window());  // before the object its procedure uses
    m_page.reset();
    g_page = nullptr;
    m_website.reset();
    DestroyWindow(m_main);
    DrainMessages();
}

void WebsiteHarness::CreatePage(const std::wstring& modes) {
    m_website.reset();  // first: an override restores what it found when it goes
    m_website = std::make_unique<EnvironmentOverride>(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(modes).c_str());
    MakeCataloguePagesAbsolute(GetWebsiteBase());
    if (m_page && m_page->Window())
        DestroyWindow(m_page->Window());
    m_page = std::make_unique<CWebsitePage>(m_installed);
    g_page = m_page.get();
    ASSERT_NE(m_page->Create(m_main, m_downloads), nullptr);
    SetWindowPos(m_page->Window(), nullptr, 0, 0, 500, 260, SWP_NOZORDER | SWP_NOACTIVATE);
}

void WebsiteHarness::Load(const std::wstring& modes) {
    const int starts = CatalogueRequest(0).Starts.load();
    CreatePage(modes);
    // The posted Refresh starts Download.htm and disables Refresh; the last finished page enables it.
    ASSERT_TRUE(PumpUntil(
        [&] { return CatalogueRequest(0).Starts.load() > starts && !IsCatalogueLoading() && IsEnabled(IDC_REFRESH); }));
}

std::vector<std::vector<std::wstring>> WebsiteHarness::Rows() const {
    std::vector<std::vector<std::wstring>> rows(ListView_GetItemCount(m_page->List()));
    for (size_t row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < 3; ++column) {
            wchar_t text[256] = L"";
            ListView_GetItemText(m_page->List(), static_cast<int>(row), column, text, 256);
            rows[row].emplace_back(text);
        }
    }
    return rows;
}

std::wstring WebsiteHarness::Status() const {
    return WindowText(GetDlgItem(m_page->Window(), IDC_CAPTION));
}

bool WebsiteHarness::IsEnabled(int id) const {
    return IsWindowEnabled(GetDlgItem(m_page->Window(), id)) != FALSE;
}

void WebsiteHarness::SelectRow(int row) {
    ListView_SetItemState(m_page->List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void WebsiteHarness::Command(int id) {
    SendMessageW(m_page->Window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

}  // namespace zid
