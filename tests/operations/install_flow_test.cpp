// The install decision flow on the fixture packages: signature, known builds, debug builds, the
// recent list, and the three ways an installed package can conflict.
#include <gtest/gtest.h>

#include "fixtures/fixture_files.h"
#include "operations/install_flow.h"
#include "support/installer_stand_ins.h"
#include "packages/signature.h"

namespace zid {

namespace {

constexpr DWORD k5_45_3 = 0x052D0003;
constexpr DWORD k5_46 = 0x052E0000;
constexpr UINT kWarning = MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2;
constexpr wchar_t kInstalledProduct[] = L"{BBBBBBBB-2222-3333-4444-555555555555}";

class InstallFlow : public OperationsTest {
protected:
    void SetUp() override {
        DeleteSettingsKey();
        m_settings.Open();
    }
    void TearDown() override { DeleteSettingsKey(); }
    std::optional<DWORD> Install(const std::wstring& file, CScriptedPrompt& prompt, CScriptedInstaller& installer) {
        return InstallPackage(Context(prompt, installer), fixtures::Path(file), m_list);
    }

    CInstalledList m_list;
};

std::wstring ConflictText(const std::wstring& installing, const std::wstring& question) {
    return L"Installing version " + installing + L":\r\n\r\n" + question +
           L"\r\n\r\n(If you say \"No\", your install will likely fail.)";
}

}  // namespace

TEST_F(InstallFlow, UnsignedPackageAsksAndCancelLeavesTheRecentListAlone) {
    const std::wstring path = fixtures::Path(L"velonar64-5.45.3.msi");
    m_settings.AddRecentPackage(L"C:\\older.msi");
    CScriptedInstaller installer;
    {
        CScriptedPrompt boxes({IDCANCEL});
        EXPECT_EQ(Install(L"velonar64-5.45.3.msi", boxes, installer), std::nullopt);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        std::wstring verification;
        VerifySignature(path, verification);
        EXPECT_EQ(boxes.Boxes()[0].text, path + L": " + verification);
        EXPECT_EQ(boxes.Boxes()[0].style, kWarning);
        EXPECT_EQ(boxes.Boxes()[0].kind, QuestionKind::UntrustedPackage);
        EXPECT_TRUE(boxes.LogText().empty());
    }
    EXPECT_EQ(m_settings.RecentPackages(), std::vector<std::wstring>{L"C:\\older.msi"});
    EXPECT_TRUE(installer.Calls().empty());

    CScriptedPrompt boxes({IDOK});
    EXPECT_EQ(Install(L"velonar64-5.45.3.msi", boxes, installer), 0u);
    EXPECT_EQ(m_settings.RecentPackages(), (std::vector<std::wstring>{path, L"C:\\older.msi"}));
    ASSERT_EQ(installer.Calls().size(), 1u);
    EXPECT_EQ(installer.Calls()[0].Call, L"Install");
    EXPECT_EQ(installer.Calls()[0].Target, path);
    EXPECT_EQ(m_list.Refreshes, 1);
    EXPECT_EQ(m_list.PostedRefreshes, 1);
}

// Another publisher's package is asked about, and from the question to the install's end nobody can
// write, replace or delete the file that was checked.
TEST_F(InstallFlow, AnotherPublishersPackageIsAskedAboutAndHeldUntilInstalled) {
    const std::wstring path = fixtures::Path(L"velonar64-5.46-foreign.msi");
    const auto expectHeld = [&] {
        HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
    };
    for (int answer : {IDCANCEL, IDOK}) {
        CScriptedInstaller installer;
        installer.DuringCall = [&](const InstallerCall&) { expectHeld(); };
        CScriptedPrompt boxes({answer});
        boxes.WhileShown = expectHeld;
        const std::optional<DWORD> result = Install(L"velonar64-5.46-foreign.msi", boxes, installer);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text,
                  path + L": The file is signed by \"Mallory\", not by Corrabel, the maker of Velonar.");
        EXPECT_EQ(boxes.Boxes()[0].style, kWarning);
        EXPECT_EQ(result, answer == IDOK ? std::optional<DWORD>(0) : std::nullopt);
        EXPECT_EQ(installer.Calls().size(), answer == IDOK ? 1u : 0u);
    }
    // Held no more once the flow has ended.
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
}

// A package downloaded from the website is the maker's, or it is refused without a question (basic UI
// mode too), nothing runs and it is deleted.
TEST_F(InstallFlow, FromTheWebsiteOnlyTheMakersPackageIsInstalled) {
    const std::wstring folder = ScratchFolder(L"from-website");
    const struct {
        const wchar_t* File;
        const wchar_t* Reason;
    } cases[] = {
        {L"velonar64-5.46-foreign.msi",
         L": The file is signed by \"Mallory\", not by Corrabel, the maker of Velonar.\r\n"},
        {L"velonar64-5.46.msi", L": The file is not signed.\r\n"},
    };
    for (bool basicUi : {false, true}) {
        m_options.BasicUi = basicUi;
        for (const auto& c : cases) {
            SCOPED_TRACE(Narrow(c.File));
            const std::wstring path = folder + L"\\" + c.File;
            ASSERT_TRUE(CopyFileW(fixtures::Path(c.File).c_str(), path.c_str(), FALSE));
            CScriptedInstaller installer;
            CScriptedPrompt boxes;
            EXPECT_EQ(InstallPackage(Context(boxes, installer), path, m_list, PackageOrigin::Website), std::nullopt);
            ASSERT_EQ(boxes.Boxes().size(), 1u);
            EXPECT_EQ(boxes.Boxes()[0].text.rfind(path + c.Reason, 0), 0u) << Narrow(boxes.Boxes()[0].text);
            EXPECT_TRUE(boxes.Boxes()[0].text.ends_with(L"It was not installed and has been deleted."));
            EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
            EXPECT_TRUE(installer.Calls().empty());
            EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_NE(boxes.LogText().find(L"Install: Refused: "), std::wstring::npos);
        }
    }
    const std::wstring genuine = folder + L"\\velonar64-5.46-signed.msi";
    ASSERT_TRUE(CopyFileW(fixtures::Path(L"velonar64-5.46-signed.msi").c_str(), genuine.c_str(), FALSE));
    CScriptedInstaller installer;
    CScriptedPrompt boxes;
    EXPECT_EQ(InstallPackage(Context(boxes, installer), genuine, m_list, PackageOrigin::Website), 0u);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_NE(GetFileAttributesW(genuine.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InstallFlow, SignedPackageOfAKnownBuildInstallsWithoutAQuestion) {
    CScriptedInstaller installer({3010});
    CScriptedPrompt boxes;
    EXPECT_EQ(Install(L"velonar64-5.45.3-signed.msi", boxes, installer), 3010u);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_NE(boxes.LogText().find(L"Install 5.45.3 (64 bit): Exit code 3010: "), std::wstring::npos);
}

TEST_F(InstallFlow, PackagesOfNoKnownBuildAreRefused) {
    for (const wchar_t* file : {L"velonar-5.45.3-noupgrade.msi", L"velonar64-5.45.3-lowercase.msi"}) {
        CScriptedInstaller installer;
        CScriptedPrompt boxes;  // the signature warning is answered OK
        EXPECT_EQ(Install(file, boxes, installer), std::nullopt);
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_EQ(boxes.Boxes()[1].text, fixtures::Path(file) + L" is not a Velonar installation package");
        EXPECT_EQ(boxes.Boxes()[1].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
        EXPECT_TRUE(installer.Calls().empty());
        EXPECT_TRUE(m_settings.RecentPackages().empty());
    }
}

TEST_F(InstallFlow, FileThatIsNoPackageReportsTheOpenError) {
    CScriptedInstaller installer;
    CScriptedPrompt boxes;
    EXPECT_EQ(Install(L"not-an-msi.msi", boxes, installer), std::nullopt);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].text.rfind(fixtures::Path(L"not-an-msi.msi") + L": ", 0), 0u);
    EXPECT_EQ(boxes.Boxes()[1].style, static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(installer.Calls().empty());
}

TEST_F(InstallFlow, DebugBuildWarnsUnlessBasicUiMode) {
    const std::wstring path = fixtures::Path(L"velonar64-5.45.3-debug.msi");
    {
        CScriptedInstaller installer;
        CScriptedPrompt boxes({IDOK, IDCANCEL});
        EXPECT_EQ(Install(L"velonar64-5.45.3-debug.msi", boxes, installer), std::nullopt);
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_EQ(boxes.Boxes()[1].text,
                  path + L" is a Debug build,\r\nwhich will not install correctly on all systems.");
        EXPECT_EQ(boxes.Boxes()[1].style, kWarning);
        EXPECT_TRUE(installer.Calls().empty());
    }
    m_options.BasicUi = true;
    CScriptedInstaller installer;
    CScriptedPrompt boxes({IDOK});
    EXPECT_EQ(Install(L"velonar64-5.45.3-debug.msi", boxes, installer), 0u);
    EXPECT_EQ(boxes.Boxes().size(), 1u);  // the signature warning only
    ASSERT_EQ(installer.Calls().size(), 1u);
    EXPECT_EQ(installer.Calls()[0].UiLevel, INSTALLUILEVEL_BASIC);
}

// The three conflict cases with their question texts, and records that never conflict.
TEST_F(InstallFlow, ConflictingInstallationsAreQuestionedByCase) {
    const std::wstring packageCode = fixtures::PackageInfo(L"velonar64-5.45.3-signed.msi").packageCode;
    struct Case {
        InstalledPackage installed;
        std::wstring question;  // empty: none asked
    };
    const Case cases[] = {
        {Record(kInstalledProduct, k5_46, true),
         L"You have a newer 64 bit version already installed.\r\nWould you like to uninstall version 5.46 before "
         L"installing version 5.45.3?"},
        {Record(kInstalledProduct, k5_45_3, true, L"{OTHER-PACKAGE}"),
         L"You have a different 64 bit build of version 5.45.3 already installed.\r\nWould you like to uninstall it?"},
        {Record(kInstalledProduct, k5_45_3, true, L""),
         L"You have a different 64 bit build of version 5.45.3 already installed.\r\nWould you like to uninstall it?"},
        {Record(kInstalledProduct, k5_45_3, true, packageCode), L""},
        {Record(kInstalledProduct, k5_46, false), L""},      // the other build
        {Record(kInstalledProduct, 0x052D0002, true), L""},  // older
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.question));
        m_list.Packages = {c.installed};
        CScriptedInstaller installer;
        CScriptedPrompt boxes({IDNO});
        EXPECT_EQ(Install(L"velonar64-5.45.3-signed.msi", boxes, installer), 0u);
        if (c.question.empty()) {
            EXPECT_TRUE(boxes.Boxes().empty());
        } else {
            ASSERT_EQ(boxes.Boxes().size(), 1u);
            EXPECT_EQ(boxes.Boxes()[0].text, ConflictText(L"5.45.3 (64 bit)", c.question));
            EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
        }
        // No (or no question) installs without removing anything first.
        ASSERT_EQ(installer.Calls().size(), 1u);
        EXPECT_EQ(installer.Calls()[0].Call, L"Install");
    }
}

TEST_F(InstallFlow, OlderPackageOfTheSameBuildShowsBothVersionTexts) {
    m_list.Packages = {Record(kInstalledProduct, k5_46, false)};
    CScriptedInstaller installer;
    CScriptedPrompt boxes({IDOK, IDCANCEL});
    EXPECT_EQ(Install(L"velonar32-5.45.msi", boxes, installer), std::nullopt);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].text,
              ConflictText(L"5.45 (32 bit)",
                           L"You have a newer 32 bit version already installed.\r\nWould you like to "
                           L"uninstall version 5.46 before installing version 5.45?"));
}

TEST_F(InstallFlow, YesRemovesTheConflictFirstAndBasicUiModeSaysYesByItself) {
    const std::wstring productCode = fixtures::PackageInfo(L"velonar64-5.45.3-signed.msi").productCode;
    for (bool basicUi : {false, true}) {
        m_options.BasicUi = basicUi;
        m_list.Packages = {Record(kInstalledProduct, k5_46, true)};
        CScriptedInstaller installer;
        CScriptedPrompt boxes({IDYES});
        EXPECT_EQ(Install(L"velonar64-5.45.3-signed.msi", boxes, installer), 0u);
        EXPECT_EQ(boxes.Boxes().size(), basicUi ? 0u : 1u);
        ASSERT_EQ(installer.Calls().size(), 2u);
        EXPECT_EQ(installer.Calls()[0].Call, L"Configure");
        EXPECT_EQ(installer.Calls()[0].Target, kInstalledProduct);
        EXPECT_EQ(installer.Calls()[0].CommandLine, L"UPGRADINGPRODUCTCODE=" + productCode);
        EXPECT_EQ(installer.Calls()[1].Call, L"Install");
    }
}

// The question's modal loop may dispatch a posted refresh that rebuilds the records: what is removed
// is still the installation asked about, whether the rebuilt list has another one first or none.
TEST_F(InstallFlow, RefreshWhileAskedDoesNotChangeWhatIsRemoved) {
    const std::vector<InstalledPackage> rebuilt[] = {
        {Record(L"{CCCCCCCC-2222-3333-4444-555555555555}", 0x052F0000, true), Record(kInstalledProduct, k5_46, true)},
        {},
    };
    for (const std::vector<InstalledPackage>& records : rebuilt) {
        m_list.Packages = {Record(kInstalledProduct, k5_46, true)};
        CScriptedInstaller installer;
        CScriptedPrompt boxes({IDYES});
        boxes.WhileShown = [&] { m_list.Packages = records; };
        EXPECT_EQ(Install(L"velonar64-5.45.3-signed.msi", boxes, installer), 0u);
        ASSERT_EQ(installer.Calls().size(), 2u);
        EXPECT_EQ(installer.Calls()[0].Call, L"Configure");
        EXPECT_EQ(installer.Calls()[0].Target, kInstalledProduct);
        EXPECT_NE(boxes.LogText().find(L"Uninstall 5.46 (64 bit): Exit code 0: "), std::wstring::npos)
            << Narrow(boxes.LogText());
    }
}

TEST_F(InstallFlow, FailedRemovalEndsTheFlowWithoutInstalling) {
    m_list.Packages = {Record(kInstalledProduct, k5_46, true)};
    CScriptedInstaller installer({1603});
    CScriptedPrompt boxes({IDYES});
    EXPECT_EQ(Install(L"velonar64-5.45.3-signed.msi", boxes, installer), std::nullopt);
    ASSERT_EQ(installer.Calls().size(), 1u);
    EXPECT_EQ(installer.Calls()[0].Call, L"Configure");
}

TEST_F(InstallFlow, CancelLogsTheVersionAndKeepsThePathAtTheFrontOfTheRecentList) {
    const std::wstring path = fixtures::Path(L"velonar64-5.45.3-signed.msi");
    for (const std::wstring& recent : {std::wstring(L"C:\\b.msi"), path, std::wstring(L"C:\\a.msi")})
        m_settings.AddRecentPackage(recent);
    m_list.Packages = {Record(kInstalledProduct, k5_46, true)};
    CScriptedInstaller installer;
    CScriptedPrompt boxes({IDCANCEL});
    EXPECT_EQ(Install(L"velonar64-5.45.3-signed.msi", boxes, installer), std::nullopt);
    EXPECT_TRUE(installer.Calls().empty());
    EXPECT_EQ(boxes.LogText(), L"Install 5.45.3 (64 bit): Canceled\r\n");
    EXPECT_EQ(m_settings.RecentPackages(), (std::vector<std::wstring>{path, L"C:\\a.msi", L"C:\\b.msi"}));
    EXPECT_EQ(m_list.PostedRefreshes, 0);
}

}  // namespace zid
