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
constexpr wchar_t kMainClass[] = L"ZidReleasesMain";
}

LRESULT CALLBACK WebsiteHarness::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WebsiteHarness*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == kDownloadFinished) {
        auto* request = reinterpret_cast<DownloadRequest*>(lParam);
        std::unique_ptr<DownloadRequest> owned(IsHandedOver(*request) ? request : nullptr);
        if (!owned && self->m_page)
            OnCataloguePageFinished(*request, *self->m_page);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WebsiteHarness::SetUp() {
    ProgramStateTest::SetUp();
    ASSERT_FALSE(WebsiteBase(L"ok").empty()) << "the test website is not running";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &WebsiteHarness::MainProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kMainClass;
    RegisterClassW(&windowClass);
    m_main = CreateWindowW(kMainClass, L"ZIDezureziv", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(m_main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetMainWindow(m_main);
    m_engine = std::make_unique<CVNInet>(m_main);
    ASSERT_EQ(m_engine->Open(), 0u);
    SetDownloadEngine(m_engine.get());
}

void WebsiteHarness::TearDown() {
    // Nothing may still be loading into the page of the next test.
    EXPECT_TRUE(PumpUntil([] { return !IsCatalogueLoading() && GetWaitCursorDepth() == 0; }));
    if (m_page && m_page->Window())
        DestroyWindow(m_page->Window());
    m_page.reset();
    SetDownloadEngine(nullptr);
    m_engine.reset();
    m_website.reset();
    ResetProgramState(m_main);
}

void WebsiteHarness::CreatePage(const std::wstring& modes) {
    m_website.reset();
    m_website = std::make_unique<EnvironmentOverride>(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(modes).c_str());
    MakeCataloguePagesAbsolute();
    HRSRC resource = FindResourceW(Platform().Instance, MAKEINTRESOURCEW(IDD_WEBSITE), RT_DIALOG);
    auto pageTemplate = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(Platform().Instance, resource)));
    m_page = std::make_unique<CWebsitePage>(m_installed);
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
    std::vector<std::vector<std::wstring>> rows;
    HWND list = m_page->List();
    const int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        std::vector<std::wstring> texts;
        for (int column = 0; column < 3; ++column) {
            wchar_t text[256] = L"";
            ListView_GetItemText(list, row, column, text, 256);
            texts.emplace_back(text);
        }
        rows.push_back(std::move(texts));
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
