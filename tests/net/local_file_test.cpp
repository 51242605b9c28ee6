// The local file of a package download: its name from the address, the partial file it is written to
// and the record that lets an interrupted download continue.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include "net/local_file.h"
#include "support/test_util.h"

namespace zid {

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
    EXPECT_EQ(request->Partial.Size, 0u);
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

TEST(AttachLocalFile, ContinuesOnlyAPartialFileOfTheSameAddressThatItsRecordVouchesFor) {
    const std::wstring folder = ScratchFolder(L"attach-resume");
    const std::wstring url = L"http://h/ok/packages/v.msi";
    const std::wstring partial = folder + L"\\v.msi.partial";
    const std::wstring record = folder + L"\\v.msi.resume";
    const std::string address = "http://h/ok/packages/v.msi\n";
    struct Case {
        std::string Record;
        unsigned long long Size;  // 0: started anew, the leftover emptied and its record gone
        const char* Validator;
    };
    const Case cases[] = {
        {address + "etag\n\"etag-1\"\n-\n", 5, "\"etag-1\""},
        {address + "date\nWed, 01 Jan 2026 00:00:00 GMT\n1000\n", 5, "Wed, 01 Jan 2026 00:00:00 GMT"},
        {address + "none\n\n5\n", 5, ""},  // whole: it only needs its name
        {address + "none\n\n1000\n", 0, ""},
        {"http://h/other/packages/v.msi\netag\n\"etag-1\"\n-\n", 0, ""},
        {address + "etag\n\"a\r\nX: b\"\n-\n", 0, ""},  // one that would add a header
        {address + "etag\n\"etag-1\"\n-", 0, ""},       // cut short
        {address + "\"etag-1\"\n", 0, ""},              // an older program's record
        {address + "etag\n\"etag-1\"\n1e3\n", 0, ""},
        {address + "etag\n" + std::string(300, 'e') + "\n-\n", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Record);
        ASSERT_TRUE(WriteFileBytes(partial, "12345"));
        ASSERT_TRUE(WriteFileBytes(record, c.Record));
        DownloadRequest request(url, DownloadKind::Package);
        ASSERT_TRUE(AttachLocalFile(request, folder));
        EXPECT_EQ(request.Partial.Size, c.Size);
        EXPECT_EQ(request.Partial.Source.Value, c.Validator);
        EXPECT_EQ(Exists(record), c.Size != 0);
        request.File.reset();
        EXPECT_EQ(ReadFileBytes(partial), c.Size ? "12345" : "");
    }
    // The record the engine writes is the one read back.
    DownloadRequest saved(url, DownloadKind::Package);
    saved.ResumePath = record;
    const zid::PartialState written{0, {zid::ValidatorKind::EntityTag, "\"etag-2\""}, 5368709120ull};
    ASSERT_EQ(SaveResumeRecord(saved, written), 0u);
    std::wstring readUrl;
    zid::PartialState read;
    ASSERT_TRUE(ReadResumeRecord(record, readUrl, read));
    EXPECT_EQ(readUrl, url);
    EXPECT_EQ(read.Source.Kind, zid::ValidatorKind::EntityTag);
    EXPECT_EQ(read.Source.Value + " " + std::to_string(read.Total.value_or(0)), "\"etag-2\" 5368709120");
}

// A partial file that is not this user's plain file (a hard link, a symbolic link, another owner's) is
// neither written into nor deleted. Wine makes hard links only (its CreateSymbolicLinkW answers yes
// and makes nothing) and keeps no other owner: those two are tried only where the system can.
TEST(AttachLocalFile, LeavesAPartialFileThatIsNotThisUsersOwnAlone) {
    const std::wstring folder = ScratchFolder(L"attach-foreign");
    const std::wstring partial = folder + L"\\v.msi.partial";
    const std::wstring other = folder + L"\\other.bin";
    const auto refused = [&](const char* what) {
        DownloadRequest request(L"http://h/ok/packages/v.msi", DownloadKind::Package);
        EXPECT_FALSE(AttachLocalFile(request, folder)) << what;
        EXPECT_EQ(GetLastError(), kPartialFileNotOurs) << what;
        EXPECT_EQ(ReadFileBytes(partial), "12345") << what;
        DeleteFileW(partial.c_str());
    };
    ASSERT_TRUE(WriteFileBytes(other, "12345"));
    ASSERT_TRUE(CreateHardLinkW(partial.c_str(), other.c_str(), nullptr));
    refused("a hard link");
    constexpr DWORD kUnprivileged = 2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    CreateSymbolicLinkW(partial.c_str(), other.c_str(), kUnprivileged);
    const DWORD attributes = GetFileAttributesW(partial.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        refused("a symbolic link");
    BYTE service[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(service);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(CreateWellKnownSid(WinLocalServiceSid, nullptr, service, &size));
    ASSERT_TRUE(WriteFileBytes(partial, "12345"));
    if (SetNamedSecurityInfoW(const_cast<wchar_t*>(partial.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                              service, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        GetNamedSecurityInfoW(partial.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) == ERROR_SUCCESS &&
        EqualSid(owner, service))
        refused("another owner's file");
    LocalFree(descriptor);
    EXPECT_EQ(ReadFileBytes(other), "12345");
}

}  // namespace zid
