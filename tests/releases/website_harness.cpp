#include "releases/website_harness.h"

#include <commctrl.h>

#include "net/download_messages.h"
#include "releases/catalogue_pages.h"
#include "resource.h"
#include "support/website.h"
#include "win/errors.h"
#include "win/platform.h"
#include "win/program.h"

namespace {

CWebsitePage* g_page = nullptr;  // where the stand-in main window hands catalogue pages

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kDownloadFinished)
        return DefWindowProcW(window, message, wParam, lParam);
    auto* request = reinterpret_cast<DownloadRequest*>(lParam);
    std::unique_ptr<DownloadRequest> owned(IsHandedOver(*request) ? request : nullptr);
    if (!owned && g_page)
        OnCataloguePageFinished(*request, *g_page);
    return TRUE;
}

}  // namespace

void WebsiteHarness::SetUp() {
    ProgramStateTest::SetUp();
    ASSERT_FALSE(WebsiteBase(L"ok").empty()) << "the test website is not running";
    m_main = CreateWindowW(L"STATIC", L"ZIDezureziv", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(m_main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainProc));
    SetMainWindow(m_main);
    m_engine = std::make_unique<CVNInet>(m_main);
    ASSERT_EQ(m_engine->Open(), 0u);
    SetDownloadEngine(m_engine.get());
    Platform().Win64 = true;
}

void WebsiteHarness::TearDown() {
    // Nothing may still be loading into the page of the next test.
    EXPECT_TRUE(PumpUntil([] { return !IsCatalogueLoading() && GetWaitCursorDepth() == 0; }));
    if (m_page && m_page->Window())
        DestroyWindow(m_page->Window());  // before the object its procedure uses
    m_page.reset();
    g_page = nullptr;
    SetDownloadEngine(nullptr);
    m_engine.reset();
    m_website.reset();
    ResetProgramState(m_main);
}

void WebsiteHarness::CreatePage(const std::wstring& modes) {
    m_website.reset();  // first: an override restores what it found when it goes
    m_website = std::make_unique<EnvironmentOverride>(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(modes).c_str());
    MakeCataloguePagesAbsolute();
    if (m_page && m_page->Window())
        DestroyWindow(m_page->Window());
    HRSRC resource = FindResourceW(Platform().Instance, MAKEINTRESOURCEW(IDD_WEBSITE), RT_DIALOG);
    auto pageTemplate = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(Platform().Instance, resource)));
    m_page = std::make_unique<CWebsitePage>(m_installed);
    g_page = m_page.get();
    ASSERT_NE(m_page->Create(m_main, pageTemplate, RECT{0, 0, 500, 260}), nullptr);
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
