// The local file of a package download: its name from the address, the partial file it is written to
// and the record that lets an interrupted download continue.
#include <gtest/gtest.h>

#include <windows.h>

#include "net/local_file.h"
#include "support/test_util.h"

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(DownloadFileName, OnlyPackageNamesThatStayInTheFolder) {
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"http://h/ok/packages/velonar64-5.46-signed.msi", L"velonar64-5.46-signed.msi"},
        {L"http://h:8080/a/Velonar%205.46.MSI", L"Velonar%205.46.MSI"},
        {L"http://h/ok/packages/../evil1.msi", L"evil1.msi"},
        {L"http://h/ok/../../evil6.msi", L"evil6.msi"}};
    for (auto [url, expected] : names) {
        std::wstring name;
        EXPECT_TRUE(DownloadFileName(url, name)) << Narrow(url);
        EXPECT_EQ(name, expected);
    }
    for (const wchar_t* url :
         {L"http://h/p/..%2Fevil2.msi", L"http://h/p/..%5Cevil3.msi", L"http://h/p\\..\\evil4.msi", L"http://h/p/",
          L"http://h/p/%2E%2E%5Cevil5.msi", L"http://h/p/%2e%2e", L"http://h/p/..", L"http://h/x/CON",
          L"http://h/x/nul.msi", L"http://h/x/a%3Ab.msi", L"http://h/x/a.", L"not an address",
          // Not a package: a library a program started from the folder would load, or no name at all.
          L"http://h/x/VERSION.dll", L"http://h/x/setup.exe", L"http://h/x/v.msi.exe", L"http://h/x/.msi",
          L"http://h/x/v.ms%69",
          // Names that read otherwise than they are: controls and bidirectional formatting.
          L"http://h/x/evil\x202Eisl.msi",
          L"http://h/x/a\x200F"
          L"b.msi",
          L"http://h/x/a\x2066"
          L"b.msi",
          L"http://h/x/a%09b.msi", L"http://h/x/a%E2%80%AEb.msi", L"http://h/x/a\x0085.msi"}) {
        std::wstring name = L"unchanged";
        EXPECT_FALSE(DownloadFileName(url, name)) << Narrow(url);
        EXPECT_EQ(name, L"unchanged");
    }
}

TEST(AttachLocalFile, WritesAPartialFileAndNeverTouchesTheFinalOne) {
    const std::wstring folder = ScratchFolder(L"attach");
    const std::wstring final = folder + L"\\v.msi";
    ASSERT_TRUE(WriteFileBytes(final, "an earlier download"));
    ASSERT_TRUE(WriteFileBytes(final + L".partial", "a leftover without a record"));
    auto request = MakePackageRequest(L"http://h/ok/packages/v.msi");
    ASSERT_TRUE(AttachLocalFile(*request, folder + L"\\.\\"));
    EXPECT_EQ(request->LocalPath, final + L".partial");
    EXPECT_EQ(request->FinalPath, final);
    EXPECT_EQ(request->ResumeFrom, 0u);
    EXPECT_EQ(request->Flags.load(), kRequestHeapOwned | kRequestToFile);
    EXPECT_EQ(ReadFileBytes(request->LocalPath), "");
    request.reset();  // freed before it started: the file it made goes with it
    EXPECT_FALSE(Exists(final + L".partial"));
    EXPECT_EQ(ReadFileBytes(final), "an earlier download");

    const std::pair<std::wstring, DWORD> failures[] = {
        {folder + L"\\missing", ERROR_PATH_NOT_FOUND},
        {folder + L"\\" + std::wstring(240, L'x'), ERROR_FILENAME_EXCED_RANGE}};
    for (const auto& [where, error] : failures) {
        DownloadRequest unchanged(L"http://h/p/v.msi", DownloadKind::Package);
        EXPECT_FALSE(AttachLocalFile(unchanged, where));
        EXPECT_EQ(GetLastError(), error);
        EXPECT_EQ(unchanged.Flags.load(), kRequestHeapOwned);
        EXPECT_TRUE(unchanged.LocalPath.empty());
    }
}

TEST(AttachLocalFile, ContinuesOnlyAPartialFileOfTheSameAddressWithAValidator) {
    const std::wstring folder = ScratchFolder(L"attach-resume");
    const std::wstring url = L"http://h/ok/packages/v.msi";
    const std::wstring partial = folder + L"\\v.msi.partial";
    const std::wstring record = folder + L"\\v.msi.resume";
    struct Case {
        std::string Record;
        unsigned long long ResumeFrom;  // 0: started anew, the leftover gone
    };
    const Case cases[] = {
        {"http://h/ok/packages/v.msi\n\"etag-1\"\n", 5},
        {"http://h/ok/packages/v.msi\nWed, 01 Jan 2026 00:00:00 GMT\n", 5},
        {"http://h/other/packages/v.msi\n\"etag-1\"\n", 0},  // another address
        {"http://h/ok/packages/v.msi\n\n", 0},               // no validator
        {"http://h/ok/packages/v.msi\n\"a\r\nX: b\"\n", 0},  // one that would add a header
        {"http://h/ok/packages/v.msi\n\"etag-1\"", 0},       // cut short
        {"http://h/ok/packages/v.msi\n" + std::string(300, 'e') + "\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Record);
        ASSERT_TRUE(WriteFileBytes(partial, "12345"));
        ASSERT_TRUE(WriteFileBytes(record, c.Record));
        DownloadRequest request(url, DownloadKind::Package);
        ASSERT_TRUE(AttachLocalFile(request, folder));
        EXPECT_EQ(request.ResumeFrom, c.ResumeFrom);
        EXPECT_EQ(Exists(record), c.ResumeFrom != 0);
        const std::string validator = c.Record.substr(url.size() + 1, c.Record.size() - url.size() - 2);
        EXPECT_EQ(request.Validator, c.ResumeFrom ? validator : "");
        request.File.reset();
        EXPECT_EQ(ReadFileBytes(partial), c.ResumeFrom ? "12345" : "");
    }
    // The record the engine writes is the one read back.
    DownloadRequest saved(url, DownloadKind::Package);
    saved.ResumePath = record;
    ASSERT_EQ(SaveResumeRecord(saved, "\"etag-2\""), 0u);
    std::wstring readUrl;
    std::string validator;
    ASSERT_TRUE(ReadResumeRecord(record, readUrl, validator));
    EXPECT_EQ(readUrl + L" " + std::wstring(validator.begin(), validator.end()), url + L" \"etag-2\"");
}
