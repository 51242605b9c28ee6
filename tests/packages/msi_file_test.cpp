#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <string>

#include "fixtures/fixture_files.h"
#include "packages/msi_file.h"
#include "win/handles.h"

namespace zid {

namespace {

const wchar_t* const kVersions[] = {L"5.20", L"5.25", L"5.30.2", L"5.30.3", L"5.45", L"5.45.3", L"5.46"};

std::wstring ExpectedLongValue() {
    std::wstring value;
    while (value.size() < 6000)
        value += L"0123456789";
    value.resize(6000 - 5);
    return value + L"[end]";
}

}  // namespace

TEST(MsiFileProperties, ReadsWhatTheInstallFlowNeeds) {
    CMsiFile file;
    file.Open(fixtures::Path(L"velonar64-5.45.3.msi"));
    ASSERT_EQ(ERROR_SUCCESS, file.OpenResult());
    EXPECT_EQ(fixtures::kUpgradeCode64, file.GetProperty(L"UpgradeCode"));
    EXPECT_EQ(L"Release", file.GetProperty(L"BuildConfiguration"));
    EXPECT_EQ(L"5.45.3", file.GetProperty(L"ProductVersion"));
    EXPECT_EQ(L"Corrabel", file.GetProperty(L"Manufacturer"));
    EXPECT_EQ(fixtures::PackageInfo(L"velonar64-5.45.3.msi").productCode, file.GetProperty(L"ProductCode"));
}

TEST(MsiFileProperties, EveryVersionOfBothBuilds) {
    for (const wchar_t* version : kVersions) {
        for (int build : {32, 64}) {
            std::wstring name = L"velonar" + std::to_wstring(build) + L"-" + version + L".msi";
            SCOPED_TRACE(std::string(name.begin(), name.end()));
            CMsiFile file;
            file.Open(fixtures::Path(name));
            ASSERT_EQ(ERROR_SUCCESS, file.OpenResult());
            EXPECT_EQ(version, file.GetProperty(L"ProductVersion"));
            EXPECT_EQ(build == 64 ? fixtures::kUpgradeCode64 : fixtures::kUpgradeCode32,
                      file.GetProperty(L"UpgradeCode"));
        }
    }
}

TEST(MsiFileProperties, DebugBuildConfiguration) {
    CMsiFile file;
    file.Open(fixtures::Path(L"velonar64-5.45.3-debug.msi"));
    EXPECT_EQ(L"Debug", file.GetProperty(L"BuildConfiguration"));
}

TEST(MsiFileProperties, MissingRowsReadAsEmpty) {
    CMsiFile withoutConfiguration;
    withoutConfiguration.Open(fixtures::Path(L"velonar32-5.45.3-noconfig.msi"));
    ASSERT_EQ(ERROR_SUCCESS, withoutConfiguration.OpenResult());
    EXPECT_EQ(L"", withoutConfiguration.GetProperty(L"BuildConfiguration"));
    EXPECT_EQ(fixtures::kUpgradeCode32, withoutConfiguration.GetProperty(L"UpgradeCode"));

    CMsiFile withoutUpgradeCode;
    withoutUpgradeCode.Open(fixtures::Path(L"velonar-5.45.3-noupgrade.msi"));
    ASSERT_EQ(ERROR_SUCCESS, withoutUpgradeCode.OpenResult());
    EXPECT_EQ(L"", withoutUpgradeCode.GetProperty(L"UpgradeCode"));
    EXPECT_EQ(L"", withoutUpgradeCode.GetProperty(L"NoSuchProperty"));
    EXPECT_EQ(L"5.45.3", withoutUpgradeCode.GetProperty(L"ProductVersion"));
}

TEST(MsiFileProperties, ValueReturnedAsStoredWithoutCaseChanges) {
    CMsiFile file;
    file.Open(fixtures::Path(L"velonar64-5.45.3-lowercase.msi"));
    EXPECT_EQ(L"{c41f8b02-7e6d-4a95-b3e8-19d6f27c5a80}", file.GetProperty(L"UpgradeCode"));
}

TEST(MsiFileProperties, ValueOfSeveralThousandCharactersComesBackWhole) {
    CMsiFile file;
    file.Open(fixtures::Path(L"velonar32-5.45.3-longvalue.msi"));
    std::wstring value = file.GetProperty(L"LongValue");
    EXPECT_EQ(6000u, value.size());
    EXPECT_EQ(ExpectedLongValue(), value);
}

TEST(MsiFileProperties, NameWithAQuoteCannotWidenTheQuery) {
    CMsiFile file;
    file.Open(fixtures::Path(L"velonar32-5.45.3.msi"));
    // Put into the query text, this name would select the ProductVersion row.
    EXPECT_EQ(L"", file.GetProperty(L"NoSuchProperty' OR `Property`='ProductVersion"));
    EXPECT_EQ(L"", file.GetProperty(L"'"));
    EXPECT_EQ(L"5.45.3", file.GetProperty(L"ProductVersion"));
}

TEST(MsiFilePackageCode, ReadFromTheSummaryInformation) {
    CMsiFile file;
    file.Open(fixtures::Path(L"velonar32-5.46.msi"));
    EXPECT_EQ(fixtures::PackageInfo(L"velonar32-5.46.msi").packageCode, file.GetPackageCode());
}

TEST(MsiFilePackageCode, SummaryInformationOpenedOnceAndKeptUntilClose) {
    CMsiFile file;
    file.Open(fixtures::Path(L"velonar64-5.46.msi"));
    EXPECT_EQ(0u, file.SummaryHandle());

    std::wstring first = file.GetPackageCode();
    MSIHANDLE summary = file.SummaryHandle();
    ASSERT_NE(0u, summary);
    UINT count = 0;
    EXPECT_EQ(ERROR_SUCCESS, MsiSummaryInfoGetPropertyCount(summary, &count));

    EXPECT_EQ(first, file.GetPackageCode());
    EXPECT_EQ(summary, file.SummaryHandle());
    EXPECT_EQ(ERROR_SUCCESS, MsiSummaryInfoGetPropertyCount(summary, &count));

    file.Close();
    EXPECT_EQ(0u, file.SummaryHandle());
    EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_HANDLE), MsiSummaryInfoGetPropertyCount(summary, &count));
}

TEST(MsiFileOpen, FileThatIsNotAPackage) {
    CMsiFile file;
    file.Open(fixtures::Path(L"not-an-msi.msi"));
    EXPECT_NE(static_cast<UINT>(ERROR_SUCCESS), file.OpenResult());
    EXPECT_EQ(L"", file.GetProperty(L"ProductVersion"));
    EXPECT_EQ(L"", file.GetPackageCode());
    EXPECT_EQ(0u, file.SummaryHandle());
    file.Close();
    EXPECT_EQ(L"", file.GetPackageCode());
}

TEST(MsiFileOpen, MissingFile) {
    CMsiFile file;
    file.Open(fixtures::Path(L"no-such-package.msi"));
    EXPECT_NE(static_cast<UINT>(ERROR_SUCCESS), file.OpenResult());
    EXPECT_EQ(L"", file.GetProperty(L"UpgradeCode"));
    EXPECT_EQ(L"", file.GetPackageCode());
}

TEST(MsiFileOpen, NothingReadableBeforeOpenOrAfterClose) {
    CMsiFile file;
    EXPECT_NE(static_cast<UINT>(ERROR_SUCCESS), file.OpenResult());
    EXPECT_EQ(L"", file.GetProperty(L"ProductVersion"));
    EXPECT_EQ(L"", file.GetPackageCode());

    file.Open(fixtures::Path(L"velonar32-5.20.msi"));
    EXPECT_EQ(L"5.20", file.GetProperty(L"ProductVersion"));
    file.Close();
    EXPECT_EQ(L"", file.GetProperty(L"ProductVersion"));
    EXPECT_EQ(L"", file.GetPackageCode());
    file.Close();
}

TEST(MsiFileOpen, OpeningAnotherPackageForgetsTheFirst) {
    CMsiFile file;
    file.Open(fixtures::Path(L"velonar32-5.20.msi"));
    EXPECT_EQ(fixtures::PackageInfo(L"velonar32-5.20.msi").packageCode, file.GetPackageCode());

    file.Open(fixtures::Path(L"velonar64-5.25.msi"));
    EXPECT_EQ(L"5.25", file.GetProperty(L"ProductVersion"));
    EXPECT_EQ(fixtures::PackageInfo(L"velonar64-5.25.msi").packageCode, file.GetPackageCode());

    file.Open(fixtures::Path(L"not-an-msi.msi"));
    EXPECT_EQ(L"", file.GetProperty(L"ProductVersion"));
    EXPECT_EQ(L"", file.GetPackageCode());
}

TEST(InstalledPackageCode, UnknownOrMalformedProductCodeGivesEmpty) {
    EXPECT_EQ(L"", GetInstalledPackageCode(L"{00000000-1111-2222-3333-444444444444}"));
    EXPECT_EQ(L"", GetInstalledPackageCode(L"not a product code"));
    EXPECT_EQ(L"", GetInstalledPackageCode(L""));
}

TEST(InstalledPackageCode, WhatWindowsInstallerRecordedForAnInstalledPackage) {
    const std::wstring name = L"velonar32-5.30.2.msi";
    const fixtures::Package package = fixtures::PackageInfo(name);
    ASSERT_FALSE(package.productCode.empty());

    INSTALLUILEVEL previous = MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    zid::scope_exit restoreUi([&] { MsiSetInternalUI(previous, nullptr); });
    ASSERT_EQ(ERROR_SUCCESS, MsiInstallProductW(fixtures::Path(name).c_str(), L"ACTION=INSTALL ALLUSERS=1"));
    zid::scope_exit uninstall(
        [&] { MsiConfigureProductW(package.productCode.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT); });

    EXPECT_EQ(package.packageCode, GetInstalledPackageCode(package.productCode));
}

}  // namespace zid
