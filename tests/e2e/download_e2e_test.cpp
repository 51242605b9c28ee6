// Download && Install in the real program, against the local test website.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <msi.h>

#include "e2e/driver.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/launch_recorder.h"
#include "support/test_util.h"
#include "support/website.h"
#include "win/handles.h"

namespace {

constexpr wchar_t kProgress[] = L"Velonar Download";

// The program against the website in these modes, once its VN Website page has read the catalogue;
// closed at the end.
struct WebsiteProgram {
    explicit WebsiteProgram(const std::wstring& modes)
        : Website(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(modes).c_str()), Program(L"") {
        Main = Program.WaitForDialog(L"ZIDezureziv");
        Page = Main ? FindPage(Main, IDC_BUILD64) : nullptr;
        List = GetDlgItem(Page, IDC_LIST1);
        Loaded = Page && WaitUntil([&] {
                     return ListView_GetItemCount(List) >= 7 && IsWindowEnabled(GetDlgItem(Page, IDC_REFRESH));
                 });
        const bool is64 = SendDlgItemMessageW(Page, IDC_BUILD64, BM_GETCHECK, 0, 0) == BST_CHECKED;
        File = is64 ? L"velonar64-5.46-signed.msi" : L"velonar32-5.46-signed.msi";  // the first row's
        PWSTR downloads = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &downloads)))
            Saved = std::wstring(downloads) + L"\\" + File;
        CoTaskMemFree(downloads);
        DeleteFileW(Saved.c_str());
    }
    ~WebsiteProgram() {
        ClickButton(Main, IDCANCEL);
        Program.WaitForExit(5000);
        DeleteFileW(Saved.c_str());
    }
    // Selects the first row and clicks Download && Install; the progress dialog, or null.
    HWND DownloadFirstRow() {
        SelectListRow(Program.Process(), List, 0);
        ClickButton(Page, IDC_DOWNLOAD_INSTALL);
        return Program.WaitForDialog(kProgress);
    }
    bool Done(HWND progress) const {
        return WaitUntil([&] { return !IsWindow(progress) && IsWindowEnabled(Main); });
    }

    EnvironmentOverride Website;
    CLaunchRecorder Recorder;  // the installer log opened after an install
    CProgram Program;
    HWND Main, Page, List;
    bool Loaded;
    std::wstring File, Saved;
};

}  // namespace

TEST(DownloadAndInstall, SavesTheSelectedReleaseAndInstallsIt) {
    WebsiteProgram run(L"slow=8192");
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
    WebsiteProgram run(L"slow=8192");
    ASSERT_TRUE(run.Loaded);
    ASSERT_TRUE(WriteFileBytes(run.Saved, "an earlier download"));
    HWND progress = run.DownloadFirstRow();
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !ControlText(progress, IDC_FIELD0).empty(); }));  // headers are in
    const std::wstring partial = run.Saved + L".partial";
    EXPECT_NE(GetFileAttributesW(partial.c_str()), INVALID_FILE_ATTRIBUTES);
    ClickButton(progress, IDCANCEL);
    ASSERT_TRUE(run.Done(progress));
    EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesW(partial.c_str()) == INVALID_FILE_ATTRIBUTES; }));
    EXPECT_EQ(ReadFileBytes(run.Saved), "an earlier download");
    EXPECT_EQ(run.Program.FindMessageBox(), nullptr);
    EXPECT_EQ(ControlText(run.Main, IDC_LOG).find(L"Exit code"), std::wstring::npos);
    EXPECT_NE(MsiQueryProductStateW(fixtures::PackageInfo(run.File).productCode.c_str()), INSTALLSTATE_DEFAULT);
}

TEST(DownloadAndInstall, WithoutASelectedRowNothingIsDownloaded) {
    WebsiteProgram run(L"ok");
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
