#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "fixtures/fixture_files.h"
#include "log/signer_report.h"
#include "support/test_util.h"

namespace zid {

namespace {

const std::wstring kSignerPart =
    L"Signer Certificate:\r\n"
    L"\r\n"
    L"Serial Number: 01 02 03 04 05 06 07 08 \r\n"
    L"Issuer Name: Corrabel Test Root\r\n"
    L"Subject Name: Corrabel Test Signer\r\n"
    L"\r\n";

const std::wstring kPublisherTail = L"MoreInfo Link : http://www.corrabel.example/velonar\r\n\r\n";

// The error the platform itself reports when asked for an embedded signature the file lacks.
DWORD QueryError(const std::wstring& path) {
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    BOOL found =
        CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                         CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, &message, nullptr);
    DWORD error = GetLastError();
    if (found) {
        CertCloseStore(store, 0);
        CryptMsgClose(message);
        return 0;
    }
    return error;
}

std::wstring QueryFailureLine(const std::wstring& path) {
    wchar_t line[64];
    swprintf(line, 64, L"CryptQueryObject failed with %lx\r\n", static_cast<unsigned long>(QueryError(path)));
    return line;
}

// The date line of the fixtures' time stamps, in this machine's local time.
std::wstring ExpectedDateLine() {
    SYSTEMTIME utc = fixtures::StampTime();
    SYSTEMTIME local{};
    EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    wchar_t line[64];
    swprintf(line, 64, L"Date of TimeStamp : %02d/%02d/%04d %02d:%02d\r\n", local.wMonth, local.wDay, local.wYear,
             local.wHour, local.wMinute);
    return line;
}

std::wstring TimeStampPart() {
    return L"TimeStamp Certificate:\r\n"
           L"\r\n"
           L"Serial Number: 7e 57 a0 01 \r\n"
           L"Issuer Name: Corrabel Test Root\r\n"
           L"Subject Name: Corrabel Test Time Stamping\r\n"
           L"\r\n" +
           ExpectedDateLine() + L"\r\n";
}

// Splits off the program name line. Wine reads osslsigncode's ASCII program name as if it were
// UTF-16, so only the line's presence and shape are compared; the rest of the report is exact.
std::wstring WithoutProgramName(const std::wstring& report) {
    const std::wstring prefix = L"Program Name : ";
    if (report.compare(0, prefix.size(), prefix) != 0)
        return L"(no program name line) " + report;
    size_t end = report.find(L"\r\n");
    if (end == std::wstring::npos)
        return L"(program name line not ended) " + report;
    return report.substr(end + 2);
}

}  // namespace

TEST(SignerReportUnsigned, OneQueryFailureLineAndTheNameUntouched) {
    for (const wchar_t* name : {L"sample.exe", L"velonar32-5.45.3.msi", L"not-an-msi.msi", L"no-such-file.exe"}) {
        SCOPED_TRACE(Narrow(name));
        std::wstring path = fixtures::Path(name);
        std::wstring report;
        std::wstring signer = L"untouched";
        GetSignerReport(path, report, &signer);
        EXPECT_NE(0u, QueryError(path));
        EXPECT_EQ(QueryFailureLine(path), report);
        EXPECT_EQ(L"untouched", signer);
    }
}

TEST(SignerReportUnsigned, AppendsToWhatTheReportHeld) {
    std::wstring path = fixtures::Path(L"sample.exe");
    std::wstring report = L"Package: sample.exe\r\n";
    GetSignerReport(path, report, nullptr);
    EXPECT_EQ(L"Package: sample.exe\r\n" + QueryFailureLine(path), report);
}

TEST(SignerReportSigned, WithoutPublisherInformationStartsWithAnEmptyLine) {
    std::wstring report;
    std::wstring signer;
    GetSignerReport(fixtures::Path(L"sample-nopublisher.exe"), report, &signer);
    EXPECT_EQ(L"\r\n" + kSignerPart, report);
    EXPECT_EQ(L"Corrabel Test Signer", signer);
}

TEST(SignerReportSigned, PublisherLinesThenSignerSerialMostSignificantByteFirst) {
    std::wstring report;
    std::wstring signer;
    GetSignerReport(fixtures::Path(L"sample-signed.exe"), report, &signer);
    EXPECT_EQ(kPublisherTail + kSignerPart, WithoutProgramName(report));
    EXPECT_EQ(L"Corrabel Test Signer", signer);
}

TEST(SignerReportSigned, SignerNameIsOptional) {
    std::wstring report;
    GetSignerReport(fixtures::Path(L"sample-nopublisher.exe"), report, nullptr);
    EXPECT_EQ(L"\r\n" + kSignerPart, report);
}

TEST(SignerReportTimeStamp, CertificateSectionAndDateLine) {
    for (const wchar_t* name : {L"sample-timestamped.exe", L"velonar32-5.45.3-timestamped.msi"}) {
        SCOPED_TRACE(Narrow(name));
        std::wstring report;
        std::wstring signer;
        GetSignerReport(fixtures::Path(name), report, &signer);
        EXPECT_EQ(kPublisherTail + kSignerPart + TimeStampPart(), WithoutProgramName(report));
        EXPECT_EQ(L"Corrabel Test Signer", signer);
    }
}

TEST(SignerReportTimeStamp, SignedPackageWithoutTimeStampEndsAfterTheSigner) {
    std::wstring report;
    GetSignerReport(fixtures::Path(L"velonar32-5.45.3-signed.msi"), report, nullptr);
    EXPECT_EQ(kPublisherTail + kSignerPart, WithoutProgramName(report));
}

// A path is never shortened: its first 259 characters would name another file (here a signed one).
TEST(SignerReportPath, LongPathIsQueriedWhole) {
    std::wstring folder = ScratchFolder(L"signer-report");
    std::wstring shortPath = folder + L"\\";
    shortPath += std::wstring(259 - shortPath.size() - 4, L's') + L".exe";
    ASSERT_EQ(259u, shortPath.size());
    ASSERT_TRUE(CopyFileW(fixtures::Path(L"sample-nopublisher.exe").c_str(), shortPath.c_str(), FALSE));
    std::wstring longPath = shortPath + std::wstring(300 - shortPath.size(), L'x');
    ASSERT_EQ(300u, longPath.size());

    std::wstring report;
    std::wstring signer = L"untouched";
    GetSignerReport(longPath, report, &signer);
    EXPECT_EQ(QueryFailureLine(longPath), report);
    EXPECT_EQ(L"untouched", signer);

    report.clear();
    GetSignerReport(shortPath, report, &signer);
    EXPECT_EQ(L"\r\n" + kSignerPart, report);
    DeleteFileW(shortPath.c_str());
}

}  // namespace zid
