// When no package of an installation is left: the same release from the package source, checked,
// and the repair or removal run from it.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include "fixtures/fixture_files.h"
#include "operations/package_source.h"
#include "operations/runner.h"
#include "support/installer_stand_ins.h"

namespace zid {

namespace {

constexpr wchar_t kInstalled[] = L"velonar64-5.30.2.msi";
constexpr wchar_t kUrl[] = L"http://127.0.0.1/packages/velonar64-5.30.2-signed.msi";
constexpr wchar_t kOffer[] = L"Download Velonar 5.30.2 (64 bit) from the website and use it to ";

// A website that has (or has not) the release, and "downloads" a copy of a fixture file.
class CScriptedSource final : public IPackageSource {
public:
    PackageOffer Offer;
    std::wstring File;   // the fixture a download saves a copy of; empty: nothing arrived
    std::wstring Saved;  // where the last download saved it
    int Downloads = 0;

    PackageOffer Find(const InstalledPackage&) override { return Offer; }
    std::wstring Download(const std::wstring&) override {
        ++Downloads;
        if (File.empty())
            return {};
        Saved = ScratchFolder(L"stand-in") + L"\\" + File.substr(File.find_last_of(L'\\') + 1);
        return CopyFileW(File.c_str(), Saved.c_str(), FALSE) ? Saved : std::wstring();
    }
};

class StandInPackage : public OperationsTest {
protected:
    void SetUp() override {
        // Windows Installer knows the product, but neither its copy of the package nor the original is there.
        m_installer.ProductInfo = {{INSTALLPROPERTY_LOCALPACKAGE, L"C:\\Windows\\Installer\\gone.msi"},
                                   {INSTALLPROPERTY_INSTALLSOURCE, L"C:\\gone\\"},
                                   {INSTALLPROPERTY_PACKAGENAME, kInstalled}};
    }
    std::optional<DWORD> Run(OperationRequest& request, CScriptedPrompt& prompt) {
        return RunOperation(request, Context(prompt, m_installer, &m_source));
    }
    OperationRequest Request(OperationCommand command) const {
        OperationRequest request;
        request.Command = command;
        const fixtures::Package installed = fixtures::PackageInfo(kInstalled);
        request.Package = Record(installed.productCode, 0x051E0002, true, installed.packageCode);
        return request;
    }

    CScriptedSource m_source;
    CScriptedInstaller m_installer;
};

}  // namespace

TEST_F(StandInPackage, AnAgreedAndMatchingReleaseIsWhatTheOperationRunsFrom) {
    m_source.Offer.Url = kUrl;
    m_source.File = fixtures::Path(L"velonar64-5.30.2-signed.msi");
    struct Case {
        OperationCommand Command;
        const wchar_t* Verb;
        const wchar_t* CommandLine;
    };
    for (const Case& c : {Case{OperationCommand::Repair, L"repair?", L"REINSTALL=ALL REINSTALLMODE=vamus"},
                          Case{OperationCommand::Uninstall, L"remove?", L"REMOVE=ALL"}}) {
        CScriptedPrompt boxes({IDYES});
        OperationRequest request = Request(c.Command);
        EXPECT_EQ(Run(request, boxes), 0u);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_NE(boxes.Boxes()[0].text.find(kOffer + std::wstring(c.Verb)), std::wstring::npos)
            << Narrow(boxes.Boxes()[0].text);
        ASSERT_FALSE(m_installer.Calls().empty());
        EXPECT_EQ(m_installer.Calls().back().Call, L"Install");
        EXPECT_EQ(m_installer.Calls().back().Target, m_source.Saved);
        EXPECT_EQ(m_installer.Calls().back().CommandLine, std::optional<std::wstring>(c.CommandLine));
        EXPECT_NE(boxes.LogText().find(L"downloaded from the website in place of the missing package"),
                  std::wstring::npos);
    }
    // Basic UI mode takes the offer without asking.
    m_options.BasicUi = true;
    CScriptedPrompt none;
    OperationRequest request = Request(OperationCommand::Repair);
    EXPECT_EQ(Run(request, none), 0u);
    EXPECT_TRUE(none.Boxes().empty());
    EXPECT_EQ(m_installer.Calls().back().Target, m_source.Saved);
}

// Only the maker's own package of exactly the installed build stands in; what is not the maker's is
// deleted, another build of the maker's is left where it is.
TEST_F(StandInPackage, AnythingButTheMakersPackageOfThatBuildIsRefusedAndNothingRuns) {
    m_source.Offer.Url = kUrl;
    const struct {
        const wchar_t* File;
        const wchar_t* Reason;
        bool Deleted;
        const wchar_t* InstalledPackageCode;  // null: as Windows Installer recorded it
    } cases[] = {
        {L"velonar64-5.30.2-rebuilt-signed.msi", L"it is another build of this release", false, nullptr},
        {L"velonar64-5.30.2-signed.msi", L"its package code is unknown", false, L""},
        {L"velonar64-5.30.2-foreign.msi", L"it is signed by \"Mallory\", not by Corrabel, the maker of Velonar", true,
         nullptr},
        {L"velonar64-5.30.2.msi", L"its signature does not verify (The file is not signed.)", true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.File));
        m_source.File = fixtures::Path(c.File);
        CScriptedPrompt boxes({IDYES, IDOK});
        OperationRequest request = Request(OperationCommand::Repair);
        if (c.InstalledPackageCode)
            request.Package->PackageCode = c.InstalledPackageCode;
        EXPECT_EQ(Run(request, boxes), std::nullopt);
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        const std::wstring& text = boxes.Boxes()[1].text;
        EXPECT_NE(text.find(c.Reason), std::wstring::npos) << Narrow(text);
        EXPECT_NE(text.find(c.Deleted ? L"It has been deleted." : L"It was left in " + m_source.Saved + L"."),
                  std::wstring::npos)
            << Narrow(text);
        EXPECT_EQ(GetFileAttributesW(m_source.Saved.c_str()) == INVALID_FILE_ATTRIBUTES, c.Deleted);
        EXPECT_TRUE(m_installer.Calls().empty());
    }
    // A download that did not arrive runs nothing either.
    m_source.File.clear();
    CScriptedPrompt boxes({IDYES});
    OperationRequest request = Request(OperationCommand::Uninstall);
    EXPECT_EQ(Run(request, boxes), std::nullopt);
    EXPECT_TRUE(m_installer.Calls().empty());
}

TEST_F(StandInPackage, WithoutTheReleaseOrWithoutConsentTheOperationGoesOnAsBefore) {
    // Not listed: the usual question says so; Cancel runs nothing.
    m_source.Offer.Problem = L"The product website lists no release 5.30.2 (64 bit).";
    CScriptedPrompt listed({IDCANCEL});
    OperationRequest request = Request(OperationCommand::Repair);
    EXPECT_EQ(Run(request, listed), std::nullopt);
    ASSERT_EQ(listed.Boxes().size(), 1u);
    EXPECT_NE(listed.Boxes()[0].text.find(L"(1612)"), std::wstring::npos);
    EXPECT_NE(listed.Boxes()[0].text.find(m_source.Offer.Problem + L"\r\n\r\nContinue anyway?"), std::wstring::npos)
        << Narrow(listed.Boxes()[0].text);
    EXPECT_EQ(m_source.Downloads, 0);

    // Listed, but the user says No: nothing is fetched, and the operation goes on the usual way.
    m_source.Offer = {kUrl, L""};
    CScriptedPrompt declined({IDNO, IDOK});
    request = Request(OperationCommand::Repair);
    EXPECT_EQ(Run(request, declined), 0u);
    EXPECT_EQ(declined.Boxes().size(), 2u);
    EXPECT_EQ(m_source.Downloads, 0);
    ASSERT_EQ(m_installer.Calls().size(), 1u);
    EXPECT_EQ(m_installer.Calls()[0].Call, L"Reinstall");
}

}  // namespace zid
