// The local file of a package download: its name from the address, and where it is created.
#include <gtest/gtest.h>

#include <windows.h>

#include "net/local_file.h"
#include "support/test_util.h"

TEST(DownloadFileName, LastPathComponentUnlessItCouldLeaveTheFolder) {
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"http://h/ok/packages/velonar64-5.46-signed.msi", L"velonar64-5.46-signed.msi"},
        {L"http://h:8080/a/Velonar%205.46.msi", L"Velonar%205.46.msi"},
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
          L"http://h/x/nul.msi", L"http://h/x/a%3Ab.msi", L"http://h/x/a.", L"not an address"}) {
        std::wstring name = L"unchanged";
        EXPECT_FALSE(DownloadFileName(url, name)) << Narrow(url);
        EXPECT_EQ(name, L"unchanged");
    }
}

TEST(AttachLocalFile, CreatesTheFileInTheFolderOrLeavesTheRequestAlone) {
    const std::wstring folder = ScratchFolder(L"attach");
    ASSERT_TRUE(WriteFileBytes(folder + L"\\v.msi", "old content"));
    auto request = MakePackageRequest(L"http://h/ok/packages/v.msi");
    ASSERT_TRUE(AttachLocalFile(*request, folder + L"\\.\\"));
    EXPECT_EQ(request->LocalPath, folder + L"\\v.msi");
    EXPECT_EQ(request->Flags.load(), kRequestHeapOwned | kRequestToFile);
    EXPECT_EQ(ReadFileBytes(request->LocalPath), "");
    request.reset();  // freed before it started: its file goes with it
    EXPECT_EQ(GetFileAttributesW((folder + L"\\v.msi").c_str()), INVALID_FILE_ATTRIBUTES);

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
