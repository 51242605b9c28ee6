// The diagnostic report written at the top of an installer log file, on the real platform services.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "fixtures/fixture_files.h"
#include "log/installer_log.h"
#include "log/preamble.h"
#include "log/preamble_lines.h"
#include "log/preamble_sources.h"
#include "log/signer_report.h"
#include "packages/signature.h"
#include "win/module_info.h"
#include "win/platform.h"
#include "win/errors.h"
#include "win/handles.h"
#include "support/test_util.h"

namespace zid {

namespace {

// The file's UTF-16 text cut at every CR LF (the last, empty piece after the final CR LF dropped).
std::vector<std::wstring> ReadLines(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::wstring> SplitReport(const std::wstring& report) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = report.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(report.substr(start, end - start));
    lines.push_back(report.substr(start));  // after the report's own last CR LF comes WriteLine's
    return lines;
}

std::wstring ExpectedWindowsLine() {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    wchar_t line[256];
    swprintf(line, 256, L"Windows %lu.%lu.%lu SP%u %ls", version.dwMajorVersion, version.dwMinorVersion,
             version.dwBuildNumber, static_cast<unsigned>(version.wServicePackMajor), version.szCSDVersion);
    return line;
}

// The writer is skipped under Wine; these tests run it on Wine's own services on purpose (underWine false).
class Preamble : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        m_folder = ScratchFolder(L"preamble") + L"\\";
    }
    void TearDown() override { CoUninitialize(); }

    // A new log file as an operation makes it, held open.
    zid::UniqueFile NewLog() {
        zid::UniqueFile file;
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_s(&local, &now);
        m_log = CreateLogFileIn(m_folder, local, &file);
        EXPECT_FALSE(m_log.empty());
        return file;
    }

    // Writes the report for an operation on packagePath (none for a repair) and reads it back.
    std::vector<std::wstring> Write(std::optional<std::wstring> packagePath) {
        zid::UniqueFile file = NewLog();
        EXPECT_EQ(WriteDiagnosticPreamble(file.get(), packagePath, false), 0u);
        file.reset();
        return ReadLines(m_log);
    }

    std::wstring m_folder;
    std::wstring m_log;
};

// The lines every report starts with, up to and including the antivirus line; returns the next index.
size_t ExpectMachineLines(const std::vector<std::wstring>& lines) {
    EXPECT_GE(lines.size(), 5u);
    if (lines.size() < 5)
        return lines.size();
    EXPECT_EQ(lines[0].substr(0, 1), L"\xFEFF");
    EXPECT_TRUE(std::regex_match(Narrow(lines[0].substr(1)), std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d)")))
        << Narrow(lines[0].substr(1));
    EXPECT_EQ(lines[1], GetVersionText());
    EXPECT_EQ(lines[2], ExpectedWindowsLine());
    size_t next = 3;
    std::wstring domain, account;
    if (ReadProcessOwner(domain, account) == ERROR_SUCCESS) {
        EXPECT_EQ(lines[next], L"User: " + domain + L"\\" + account);
        ++next;
    }
    EXPECT_EQ(lines[next++], L"AntiVirus: " + QueryAntivirusProducts());
    return next;
}

// The module lines after the heading: one per listed module, each with its path and signature part.
void ExpectModuleLines(const std::vector<std::wstring>& lines, size_t first) {
    const std::vector<HMODULE> modules = ListProcessModules();
    ASSERT_FALSE(modules.empty());
    ASSERT_EQ(lines.size() - first, modules.size());
    for (size_t i = 0; i < modules.size(); ++i) {
        std::wstring path;
        ASSERT_EQ(GetModuleFilePath(modules[i], path), static_cast<DWORD>(ERROR_SUCCESS));
        const std::wstring& line = lines[first + i];
        EXPECT_EQ(line.substr(0, path.size() + 1), path + L" ") << Narrow(line);
        EXPECT_EQ(line.back(), L')') << Narrow(line);
    }
}

}  // namespace

TEST_F(Preamble, NothingWithoutALogFileOrUnderWine) {
    EXPECT_EQ(WriteDiagnosticPreamble(INVALID_HANDLE_VALUE, fixtures::Path(L"velonar32-5.45.3.msi"), false), 0u);
    UniqueFile file = NewLog();
    EXPECT_EQ(WriteDiagnosticPreamble(file.get(), std::nullopt, true), 0u);
    file.reset();
    EXPECT_EQ(ReadFileBytes(m_log), "");
}

// A log that cannot be written to: the first failure is given, nothing more is tried.
TEST_F(Preamble, FirstFailedLineEndsTheReport) {
    UniqueFile file = NewLog();
    file.reset();
    UniqueFile readOnly(CreateFileW(m_log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(WriteDiagnosticPreamble(readOnly.get(), std::nullopt, false), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// Between its creation and the report the log is never let go: nobody can delete it or put a file
// or link in its place for the report to be written into.
TEST_F(Preamble, LogFileCannotBeSwappedBeforeTheReport) {
    const std::wstring other = m_folder + L"other.txt";
    ASSERT_TRUE(WriteFileBytes(other, "other"));
    zid::UniqueFile file = NewLog();
    EXPECT_FALSE(DeleteFileW(m_log.c_str()));
    EXPECT_FALSE(MoveFileExW(other.c_str(), m_log.c_str(), MOVEFILE_REPLACE_EXISTING));
    WriteDiagnosticPreamble(file.get(), std::nullopt, false);
    file.reset();
    EXPECT_EQ(ReadFileBytes(other), "other");
    EXPECT_EQ(ReadFileBytes(m_log).substr(0, 2), "\xFF\xFE");
}

TEST_F(Preamble, InstallLinesInOrder) {
    const std::wstring package = fixtures::Path(L"velonar32-5.45.3.msi");
    const std::vector<std::wstring> lines = Write(package);

    size_t next = ExpectMachineLines(lines);
    std::wstring verification;
    VerifySignature(package, verification);
    std::wstring report;
    GetSignerReport(package, report, nullptr);

    std::vector<std::wstring> expected = {package, L"    " + verification};
    for (const std::wstring& reportLine : SplitReport(report))
        expected.push_back(reportLine);
    expected.insert(expected.end(),
                    {
                        L"    Manufacturer: Corrabel",
                        L"    UpgradeCode: " + std::wstring(fixtures::kUpgradeCode32),
                        L"    BuildConfiguration: Release",
                        L"    ProductVersion: 5.45.3",
                        L"    PackageCode: " + fixtures::PackageInfo(L"velonar32-5.45.3.msi").packageCode,
                        L"",
                        L"Modules loaded:",
                    });
    ASSERT_GE(lines.size(), next + expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[next + i], expected[i]) << "line " << next + i;
    ExpectModuleLines(lines, next + expected.size());
}

TEST_F(Preamble, UnsignedPackageShowsTheQueryFailureAsItsReport) {
    const std::wstring package = fixtures::Path(L"velonar32-5.45.3.msi");
    const std::vector<std::wstring> lines = Write(package);
    const size_t next = ExpectMachineLines(lines);
    ASSERT_GE(lines.size(), next + 4);
    EXPECT_EQ(lines[next], package);
    EXPECT_EQ(lines[next + 2].rfind(L"CryptQueryObject failed with ", 0), 0u) << Narrow(lines[next + 2]);
    EXPECT_EQ(lines[next + 3], L"");
    EXPECT_EQ(lines[next + 4], L"    Manufacturer: Corrabel");
}

TEST_F(Preamble, SignedPackageCarriesTheWholeSignerReport) {
    const std::wstring package = fixtures::Path(L"velonar32-5.45.3-timestamped.msi");
    const std::vector<std::wstring> lines = Write(package);
    const size_t next = ExpectMachineLines(lines);
    std::wstring report;
    GetSignerReport(package, report, nullptr);
    const std::vector<std::wstring> reportLines = SplitReport(report);
    ASSERT_GE(lines.size(), next + 2 + reportLines.size() + 1);
    EXPECT_EQ(lines[next], package);
    for (size_t i = 0; i < reportLines.size(); ++i)
        EXPECT_EQ(lines[next + 2 + i], reportLines[i]) << "report line " << i;
    const auto block = lines.begin() + static_cast<std::ptrdiff_t>(next + 2);
    const auto blockEnd = block + static_cast<std::ptrdiff_t>(reportLines.size());
    EXPECT_NE(std::find(block, blockEnd, L"Signer Certificate:"), blockEnd);
    EXPECT_NE(std::find(block, blockEnd, L"Serial Number: 01 02 03 04 05 06 07 08 "), blockEnd);
    EXPECT_NE(std::find(block, blockEnd, L"TimeStamp Certificate:"), blockEnd);
    EXPECT_EQ(lines[next + 2 + reportLines.size()], L"    Manufacturer: Corrabel");
}

TEST_F(Preamble, PackageThatDoesNotOpenShowsEmptyProperties) {
    const std::wstring package = fixtures::Path(L"not-an-msi.msi");
    const std::vector<std::wstring> lines = Write(package);
    const std::vector<std::wstring> properties = {L"    Manufacturer: ",       L"    UpgradeCode: ",
                                                  L"    BuildConfiguration: ", L"    ProductVersion: ",
                                                  L"    PackageCode: ",        L"",
                                                  L"Modules loaded:"};
    auto first = std::search(lines.begin(), lines.end(), properties.begin(), properties.end());
    EXPECT_NE(first, lines.end());
}

TEST_F(Preamble, RepairHasNoPackageBlock) {
    const std::vector<std::wstring> lines = Write(std::nullopt);
    const size_t next = ExpectMachineLines(lines);
    ASSERT_GE(lines.size(), next + 2);
    EXPECT_EQ(lines[next], L"");
    EXPECT_EQ(lines[next + 1], L"Modules loaded:");
    ExpectModuleLines(lines, next + 2);
}

TEST_F(Preamble, OwnModuleLineShowsItsVersionAndCompany) {
    const std::vector<std::wstring> lines = Write(std::nullopt);
    const std::wstring self = GetModulePath();
    auto line =
        std::find_if(lines.begin(), lines.end(), [&](const std::wstring& l) { return l.rfind(self + L" ", 0) == 0; });
    ASSERT_NE(line, lines.end());
    std::wstring verification;
    VerifySignature(self, verification);
    const std::wstring tail = L" (" + verification + L")";
    EXPECT_NE(line->find(L" 1.11.0.0 "), std::wstring::npos) << Narrow(*line);
    EXPECT_NE(line->find(L" Fennickworks "), std::wstring::npos) << Narrow(*line);
    EXPECT_EQ(line->substr(line->size() - tail.size()), tail);
}

TEST(PreambleSources, VersionColumnsOfAFileWithAndWithoutAResource) {
    const VersionColumns own = ReadVersionColumns(GetModulePath());
    EXPECT_EQ(own.Version.value_or(L"none"), L"1.11.0.0");
    EXPECT_EQ(own.Company.value_or(L"none"), L"Fennickworks");

    const VersionColumns text = ReadVersionColumns(fixtures::Path(L"manifest.txt"));
    EXPECT_FALSE(text.Version);
    EXPECT_FALSE(text.Company);
    const VersionColumns missing = ReadVersionColumns(L"Z:\\no\\such\\file.dll");
    EXPECT_FALSE(missing.Version);
    EXPECT_FALSE(missing.Company);
}

TEST(PreambleSources, ModulesStartWithTheProgramAndPathsAreWhole) {
    const std::vector<HMODULE> modules = ListProcessModules();
    ASSERT_GE(modules.size(), 2u);
    EXPECT_EQ(modules[0], GetModuleHandleW(nullptr));
    EXPECT_NE(std::find(modules.begin(), modules.end(), GetModuleHandleW(L"kernel32.dll")), modules.end());

    std::wstring path;
    ASSERT_EQ(GetModuleFilePath(modules[0], path), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(path, GetModulePath());
}

TEST(PreambleSources, UnknownModuleLeavesThePathAlone) {
    std::wstring path = L"untouched";
    EXPECT_NE(GetModuleFilePath(reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x10)), path),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(path, L"untouched");
}

// The owner of the process object, read through the older kernel-object call instead.
TEST(PreambleSources, ProcessOwnerIsTheProcessObjectsOwner) {
    std::wstring domain, account;
    ASSERT_EQ(ReadProcessOwner(domain, account), static_cast<DWORD>(ERROR_SUCCESS));

    alignas(8) BYTE descriptor[1024];
    DWORD size = 0;
    ASSERT_TRUE(GetKernelObjectSecurity(GetCurrentProcess(), OWNER_SECURITY_INFORMATION, descriptor, sizeof(descriptor),
                                        &size));
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
    wchar_t name[256];
    wchar_t domainName[256];
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use{};
    ASSERT_TRUE(LookupAccountSidW(nullptr, owner, name, &nameLength, domainName, &domainLength, &use));
    EXPECT_EQ(account, name);
    EXPECT_EQ(domain, domainName);
    EXPECT_FALSE(account.empty());
}

}  // namespace zid
