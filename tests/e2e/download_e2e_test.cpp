// Download && Install in the real program, against the local test website.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <msi.h>

#include "e2e/driver.h"
#include "e2e/website_program.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/launch_recorder.h"
#include "support/test_util.h"
#include "support/website.h"
#include "win/handles.h"

namespace zid {

TEST(DownloadAndInstall, SavesTheSelectedReleaseAndInstallsIt) {
    WebsiteProgram run(WebsiteBase(L"slow=8192"));
    ASSERT_TRUE(run.Loaded);
    const std::wstring product = fixtures::PackageInfo(run.File).productCode;
    zid::scope_exit uninstall([&] {
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MsiConfigureProductW(product.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    });
    const std::string request = "/slow=8192/packages/" + Narrow(run.File);
    const size_t requests = CountWebsiteRequests(request);
    HWND progress = run.DownloadFirstRow();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(IsWindowEnabled(run.Main));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(progress, IDC_FIELD0) == L"Downloading " + run.File; }));
    // Handed on: the dialog has gone, the package is installed, no box, the file is the package.
    ASSERT_TRUE(run.Done(progress));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(run.Main, IDC_LOG).find(L": Exit code 0: ") != std::wstring::npos; },
                          120000))
        << Narrow(ControlText(run.Main, IDC_LOG));
    EXPECT_EQ(MsiQueryProductStateW(product.c_str()), INSTALLSTATE_DEFAULT);
    EXPECT_EQ(run.Program.FindMessageBox(), nullptr);
    const std::string package = ReadFileBytes(WinePath(std::string(ZID_BINARY_DIR) + "/fixtures/" + Narrow(run.File)));
    ASSERT_FALSE(package.empty());
    EXPECT_TRUE(ReadFileBytes(run.Saved) == package);
    EXPECT_TRUE(WaitUntil([&] { return CountWebsiteRequests(request) == requests + 1; }));
    EXPECT_EQ(LastWebsiteRequest(request), request + " 200 " + std::to_string(package.size()));
}

TEST(DownloadAndInstall, CancelLeavesNoFileAnEarlierFileAsItWasAndTheWindowUsable) {
    WebsiteProgram run(WebsiteBase(L"slow=8192"));
    ASSERT_TRUE(run.Loaded);
    ASSERT_TRUE(WriteFileBytes(run.Saved, "an earlier download"));
    HWND progress = run.DownloadFirstRow();
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !ControlText(progress, IDC_FIELD0).empty(); }));  // headers are in
    const std::wstring partial = run.Saved + L".partial";
    EXPECT_NE(GetFileAttributesW(partial.c_str()), INVALID_FILE_ATTRIBUTES);
    // Under the dialog the main window's keys rest (F5 would read the website list again); Esc cancels.
    const std::string page = "/slow=8192/Download.htm";
    const size_t pages = CountWebsiteRequests(page);
    PostMessageW(GetDlgItem(progress, IDCANCEL), WM_KEYDOWN, VK_F5, 0);
    PostMessageW(GetDlgItem(progress, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(run.Done(progress));
    WaitUntil([] { return false; }, 1500);  // what F5 would have read
    EXPECT_EQ(CountWebsiteRequests(page), pages);
    EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesW(partial.c_str()) == INVALID_FILE_ATTRIBUTES; }));
    EXPECT_EQ(ReadFileBytes(run.Saved), "an earlier download");
    EXPECT_EQ(run.Program.FindMessageBox(), nullptr);
    EXPECT_EQ(ControlText(run.Main, IDC_LOG).find(L"Exit code"), std::wstring::npos);
    EXPECT_NE(MsiQueryProductStateW(fixtures::PackageInfo(run.File).productCode.c_str()), INSTALLSTATE_DEFAULT);
}

TEST(DownloadAndInstall, WithoutASelectedRowNothingIsDownloaded) {
    WebsiteProgram run(WebsiteBase(L"ok"));
    ASSERT_TRUE(run.Loaded);
    ClickButton(run.Page, IDC_DOWNLOAD_INSTALL);
    wchar_t log[256] = L"";
    // WM_GETTEXT: GetWindowText does not ask another process's edit control.
    EXPECT_TRUE(WaitUntil([&] {
        SendDlgItemMessageW(run.Main, IDC_LOG, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(log));
        return std::wstring(log).find(L"Cannot download\r\n") == 9;
    }));
    EXPECT_EQ(FindWindowW(nullptr, kProgress), nullptr);
}

}  // namespace zid
