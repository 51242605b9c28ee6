// Repair and uninstall of an installation whose packages are all gone, with the same release from
// the website, through the real program and Wine's Windows Installer.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <shlobj.h>

#include "e2e/driver.h"
#include "e2e/website_program.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/launch_recorder.h"
#include "support/test_util.h"
#include "support/website.h"
#include "win/handles.h"

namespace zid {

namespace {

constexpr wchar_t kPackage[] = L"velonar64-5.30.2-signed.msi";  // what the website's archive links to
constexpr wchar_t kRebuilt[] = L"velonar64-5.30.2-rebuilt-signed.msi";
constexpr wchar_t kRow[] = L"5.30.2 (64 bit)";
constexpr DWORD kOperationTimeout = 120000;

std::wstring ProductInfo(const std::wstring& product, const wchar_t* property) {
    wchar_t value[MAX_PATH] = L"";
    DWORD length = MAX_PATH;
    MsiGetProductInfoW(product.c_str(), property, value, &length);
    return value;
}

// The program against the website in these modes, on its This PC page; closed at the end.
struct ThisPcRun {
    explicit ThisPcRun(const std::wstring& modes)
        : Website(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(modes).c_str()), Program(L"") {
        Main = Program.WaitForDialog(L"ZIDezureziv");
        Page = Main ? FindWindowExW(Main, nullptr, L"#32770", nullptr) : nullptr;  // This PC, created first
        List = GetDlgItem(Page, IDC_LIST1);
    }
    ~ThisPcRun() {
        ClickButton(Main, IDCANCEL);
        Program.WaitForExit(5000);
    }
    bool PaneHas(const std::wstring& text) const { return ControlText(Main, IDC_LOG).find(text) != std::wstring::npos; }
    // Selects the row and clicks button; true once the question to fetch the release has come and was
    // answered Yes (else Question says what did not come).
    bool StartAndAgree(int button, const wchar_t* verb) {
        Question = L"no list of the one installation";
        if (!WaitUntil([&] { return ListColumnTexts(Program.Process(), List, 0) == std::vector<std::wstring>{kRow}; }))
            return false;
        SelectListRow(Program.Process(), List, 0);
        ClickButton(Page, button);
        if (button == IDC_UNINSTALL) {  // 5.30.2 asks about its settings first
            Question = L"no uninstall options";
            HWND options = Program.WaitForDialog(L"Uninstall - Velonar");
            if (!options)
                return false;
            ClickButton(options, IDOK);
        }
        Question = L"no question";
        HWND question = nullptr;
        if (!WaitUntil([&] { return (question = Program.FindMessageBox()) != nullptr; }, 30000))
            return false;
        Question = MessageBoxText(question);
        PostMessageW(question, WM_COMMAND, IDYES, 0);
        return WaitUntil([&] { return !IsWindow(question); }) &&
               Question.find(std::wstring(L"Download Velonar 5.30.2 (64 bit) from the website and use it to ") +
                             verb) != std::wstring::npos;
    }

    EnvironmentOverride Website;
    CLaunchRecorder Recorder;  // the installer logs opened after the operations
    CProgram Program;
    HWND Main, Page, List;
    std::wstring Question;
};

class MissingPackages : public ::testing::Test {
protected:
    void SetUp() override {
        m_product = fixtures::PackageInfo(kPackage).productCode;
        ASSERT_FALSE(m_product.empty()) << "fixtures missing";
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv");
        // Installed from a copy that then goes, and Windows Installer's own copy deleted.
        const std::wstring source = ScratchFolder(L"gone") + L"\\velonar64-5.30.2.msi";
        ASSERT_TRUE(CopyFileW(fixtures::Path(kPackage).c_str(), source.c_str(), FALSE));
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        ASSERT_EQ(MsiInstallProductW(source.c_str(), L"ALLUSERS=1"), 0u);
        ASSERT_TRUE(DeleteFileW(source.c_str()));
        DeleteCachedPackage();
    }
    void TearDown() override {
        if (MsiQueryProductStateW(m_product.c_str()) == INSTALLSTATE_DEFAULT) {
            MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
            MsiInstallProductW(fixtures::Path(kPackage).c_str(), L"REMOVE=ALL");
        }
        DeleteFileW(WebsiteProgram::SavedPath(kPackage).c_str());
        DeleteFileW(WebsiteProgram::SavedPath(kRebuilt).c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corrabel");
    }
    void DeleteCachedPackage() {
        const std::wstring cached = ProductInfo(m_product, INSTALLPROPERTY_LOCALPACKAGE);
        ASSERT_TRUE(FileExists(cached)) << Narrow(cached);
        ASSERT_TRUE(DeleteFileW(cached.c_str()));
    }
    std::wstring m_product;
};

}  // namespace

TEST_F(MissingPackages, TheSameReleaseFromTheWebsiteRepairsAndRemovesAnotherBuildOfItIsRefused) {
    // The website's 5.30.2 is a rebuild (another package code): refused with its reason, nothing runs,
    // the downloaded file stays where the user can see it.
    {
        ThisPcRun run(L"rebuilt");
        ASSERT_TRUE(run.StartAndAgree(IDC_REPAIR, L"repair?")) << Narrow(run.Question);
        HWND refusal = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (refusal = run.Program.FindMessageBox()) != nullptr; }, 60000));
        EXPECT_NE(MessageBoxText(refusal).find(L"it is another build of this release"), std::wstring::npos)
            << Narrow(MessageBoxText(refusal));
        PostMessageW(refusal, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntil([&] { return run.PaneHas(L"Repair 5.30.2 (64 bit): Canceled"); }));
        EXPECT_FALSE(run.PaneHas(L"Exit code"));
        EXPECT_TRUE(FileExists(WebsiteProgram::SavedPath(kRebuilt)));
        EXPECT_FALSE(FileExists(ProductInfo(m_product, INSTALLPROPERTY_LOCALPACKAGE)));
    }
    // The same release: the repair works, and Windows Installer keeps a copy of it again; then, with
    // the packages gone once more, the removal works.
    ThisPcRun run(L"ok");
    ASSERT_TRUE(run.StartAndAgree(IDC_REPAIR, L"repair?")) << Narrow(run.Question);
    ASSERT_TRUE(WaitUntil([&] { return run.PaneHas(L"Repair 5.30.2 (64 bit): Exit code 0: "); }, kOperationTimeout))
        << Narrow(ControlText(run.Main, IDC_LOG));
    EXPECT_TRUE(run.PaneHas(WebsiteProgram::SavedPath(kPackage) +
                            L", downloaded from the website in place of the missing package"));
    EXPECT_TRUE(FileExists(ProductInfo(m_product, INSTALLPROPERTY_LOCALPACKAGE)));
    // The repair made the downloaded file the installation's source: both go for the removal.
    DeleteCachedPackage();
    ASSERT_TRUE(DeleteFileW(WebsiteProgram::SavedPath(kPackage).c_str()));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(run.Main) != FALSE; }));
    ASSERT_TRUE(run.StartAndAgree(IDC_UNINSTALL, L"remove?")) << Narrow(run.Question);
    ASSERT_TRUE(WaitUntil([&] { return run.PaneHas(L"Uninstall 5.30.2 (64 bit): Exit code 0: "); }, kOperationTimeout))
        << Narrow(ControlText(run.Main, IDC_LOG));
    EXPECT_NE(MsiQueryProductStateW(m_product.c_str()), INSTALLSTATE_DEFAULT);
    EXPECT_EQ(run.Program.FindMessageBox(), nullptr);
}

}  // namespace zid
