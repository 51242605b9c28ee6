// What the real program trusts: only the maker's signed packages without a question, the website
// over HTTPS with a certificate this PC trusts, the package held from its check to its install.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <string>

#include "e2e/driver.h"
#include "e2e/website_program.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/test_util.h"
#include "support/website.h"
#include "win/handles.h"

namespace zid {

namespace {

constexpr wchar_t kMallory[] = L": The file is signed by \"Mallory\", not by Corrabel, the maker of Velonar.";

void Uninstall(const std::wstring& file) {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MsiConfigureProductW(fixtures::PackageInfo(file).productCode.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
}

}  // namespace

// The catalogue, Download && Install and its resume, all over HTTPS.
TEST(Trust, HttpsCatalogueDownloadAndResume) {
    const std::wstring token = L"tls" + std::to_wstring(GetTickCount64());
    WebsiteProgram run(SecureWebsiteBase(L"slow=65536,cutonce=" + token));
    ASSERT_TRUE(run.Loaded) << Narrow(ControlText(run.Page, IDC_CAPTION));
    zid::scope_exit uninstall([&] { Uninstall(run.File); });
    HWND progress = run.DownloadFirstRow();
    ASSERT_NE(progress, nullptr);
    EXPECT_NE(run.DismissBox().find(L"Download && Install again will continue it."), std::wstring::npos);
    ASSERT_TRUE(run.Done(progress));
    EXPECT_TRUE(FileExists(run.Saved + L".partial"));

    progress = run.DownloadFirstRow();
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(run.Done(progress));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(run.Main, IDC_LOG).find(L": Exit code 0: ") != std::wstring::npos; },
                          120000))
        << Narrow(ControlText(run.Main, IDC_LOG));
    const std::string package = ReadFileBytes(WinePath(std::string(ZID_BINARY_DIR) + "/fixtures/" + Narrow(run.File)));
    EXPECT_TRUE(ReadFileBytes(run.Saved) == package);
    const std::string request = "/slow=65536,cutonce=" + Narrow(token) + "/packages/" + Narrow(run.File);
    EXPECT_EQ(LastWebsiteRequest(request).rfind(request + " 206 ", 0), 0u) << LastWebsiteRequest(request);
}

// A certificate of an authority nobody trusts: the page says so in plain words, and lists nothing.
TEST(Trust, UntrustedCertificateIsToldInPlainWords) {
    WebsiteProgram run(UntrustedWebsiteBase(L"ok"), WebsiteProgram::Fails);
    EXPECT_FALSE(run.Loaded);
    const std::wstring status = ControlText(run.Page, IDC_CAPTION);
    EXPECT_NE(status.find(L"/Download.htm: "), std::wstring::npos) << Narrow(status);
    EXPECT_NE(status.find(L"certificate"), std::wstring::npos) << Narrow(status);
    EXPECT_EQ(status.find(L"Error number"), std::wstring::npos) << Narrow(status);
    EXPECT_EQ(ListView_GetItemCount(run.List), 0);
}

// A package link that the website sends on from HTTPS to plain HTTP is refused; nothing is saved.
TEST(Trust, RedirectFromHttpsToHttpIsRefused) {
    WebsiteProgram run(SecureWebsiteBase(L"tohttp"));
    ASSERT_TRUE(run.Loaded) << Narrow(ControlText(run.Page, IDC_CAPTION));
    // Refused at the headers: the progress dialog may come and go before it is seen.
    run.ClickDownload(0);
    const std::wstring box = run.DismissBox();
    EXPECT_NE(box.find(L": The download was refused: The website sent the request on from its secure address to an "
                       L"address that is not secure (http). Nothing was saved."),
              std::wstring::npos)
        << Narrow(box);
    EXPECT_FALSE(FileExists(run.Saved));
    EXPECT_FALSE(FileExists(run.Saved + L".partial"));
    EXPECT_EQ(ControlText(run.Main, IDC_LOG).find(L"Exit code"), std::wstring::npos);
}

// From the website, another publisher's package and an unsigned one are refused without a question:
// nothing is installed, and the file is deleted.
TEST(Trust, WebsitePackagesNotOfTheMakerAreRefusedAndDeleted) {
    WebsiteProgram run(SecureWebsiteBase(L"foreign"));
    ASSERT_TRUE(run.Loaded) << Narrow(ControlText(run.Page, IDC_CAPTION));
    const std::wstring foreign = L"velonar64-5.46-foreign.msi";
    const std::wstring unsigned_ = L"velonar64-5.45.msi";
    ASSERT_EQ(ListColumnTexts(run.Program.Process(), run.List, 0)[2], L"Velonar 5.45");
    const struct {
        int Row;
        std::wstring File;
        std::wstring Reason;
    } cases[] = {{0, foreign, kMallory}, {2, unsigned_, L": The file is not signed."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.File));
        const std::wstring saved = WebsiteProgram::SavedPath(c.File);
        run.ClickDownload(c.Row);
        const std::wstring box = run.DismissBox();
        EXPECT_EQ(box.rfind(saved + c.Reason, 0), 0u) << Narrow(box);
        EXPECT_TRUE(box.ends_with(L"It was not installed and has been deleted.")) << Narrow(box);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(run.Main) != FALSE; }));
        EXPECT_EQ(run.Program.FindMessageBox(), nullptr);
        EXPECT_FALSE(FileExists(saved));
        EXPECT_NE(MsiQueryProductStateW(fixtures::PackageInfo(c.File).productCode.c_str()), INSTALLSTATE_DEFAULT);
    }
}

// A package run with a relative path: the path is made absolute first, another publisher's package
// is asked about, and while the question is on screen no other process can change the package.
TEST(Trust, ChosenPackageOfAnotherPublisherIsAskedAboutAndHeld) {
    const std::wstring package = fixtures::Path(L"velonar64-5.45.3-foreign.msi");
    wchar_t previous[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(fixtures::Folder().c_str()));
    CProgram program(L"velonar64-5.45.3-foreign.msi");
    SetCurrentDirectoryW(previous);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = program.FindMessageBox()) != nullptr; }));
    EXPECT_EQ(MessageBoxText(box), package + kMallory);
    HANDLE writer = CreateFileW(package.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(program.WaitForExit(), 1u);
    EXPECT_NE(MsiQueryProductStateW(fixtures::PackageInfo(L"velonar64-5.45.3-foreign.msi").productCode.c_str()),
              INSTALLSTATE_DEFAULT);
}

}  // namespace zid
