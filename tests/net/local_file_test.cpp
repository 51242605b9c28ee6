// The local file of a package download: its name from the address, and where it is created.
#include <gtest/gtest.h>

#include <windows.h>

#include "net/local_file.h"
#include "support/test_util.h"

TEST(DownloadFileName, LastComponentOfThePath) {
    struct Case {
        const wchar_t* Url;
        const wchar_t* Name;
    };
    for (const Case& c : {Case{L"http://h/ok/packages/velonar64-5.46-signed.msi", L"velonar64-5.46-signed.msi"},
                          Case{L"http://h:8080/a/b/Velonar%205.46.msi", L"Velonar%205.46.msi"},
                          Case{L"https://h/velonar32-5.45.msi", L"velonar32-5.45.msi"},
                          Case{L"http://h/ok/packages/../evil1.msi", L"evil1.msi"},
                          Case{L"http://h/ok/../../evil6.msi", L"evil6.msi"}}) {
        std::wstring name;
        EXPECT_TRUE(DownloadFileName(c.Url, name)) << Narrow(c.Url);
        EXPECT_EQ(name, c.Name) << Narrow(c.Url);
    }
}

TEST(DownloadFileName, NamesThatCouldLeaveTheFolderAreRefused) {
    for (const wchar_t* url :
         {L"http://h/ok/packages/..%2Fevil2.msi", L"http://h/ok/packages/..%5Cevil3.msi",
          L"http://h/ok/packages\\..\\evil4.msi", L"http://h/ok/packages/", L"http://h/ok/packages/%2E%2E%5Cevil5.msi",
          L"http://h/ok/packages/%2e%2e", L"http://h/ok/packages/..", L"http://h/ok/x/CON", L"http://h/ok/x/nul.msi",
          L"http://h/ok/x/com1", L"http://h/ok/x/a%3Ab.msi", L"http://h/ok/x/name.", L"http://h/ok/x/%00.msi",
          L"not an address"}) {
        std::wstring name = L"unchanged";
        EXPECT_FALSE(DownloadFileName(url, name)) << Narrow(url);
        EXPECT_EQ(name, L"unchanged");
    }
}

TEST(AttachLocalFile, CreatesTheFileInTheFolderReplacingAnOldOne) {
    const std::wstring folder = ScratchFolder(L"attach");
    ASSERT_TRUE(WriteFileBytes(folder + L"\\v.msi", "old content"));
    DownloadRequest request(L"http://h/ok/packages/v.msi", DownloadKind::Package);
    ASSERT_TRUE(AttachLocalFile(request, folder + L"\\.\\"));
    EXPECT_EQ(request.LocalPath, folder + L"\\v.msi");
    EXPECT_TRUE(request.File);
    EXPECT_EQ(request.Flags.load(), kRequestHeapOwned | kRequestToFile);
    request.File.reset();
    EXPECT_EQ(ReadFileBytes(request.LocalPath), "");
}

TEST(AttachLocalFile, FailureLeavesTheRequestAsItWas) {
    const std::wstring folder = ScratchFolder(L"attach-fail");
    struct Case {
        std::wstring Folder;
        const wchar_t* Url;
        DWORD Error;
    };
    const Case cases[] = {
        {folder + L"\\missing", L"http://h/p/v.msi", ERROR_PATH_NOT_FOUND},
        {folder + L"\\" + std::wstring(240, L'x'), L"http://h/p/v.msi", ERROR_FILENAME_EXCED_RANGE},
        {folder, L"http://h/p/..%5Cv.msi", ERROR_INVALID_NAME},
        {folder, L"http://h/p/", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        DownloadRequest request(c.Url, DownloadKind::Package);
        EXPECT_FALSE(AttachLocalFile(request, c.Folder)) << Narrow(c.Url);
        EXPECT_EQ(GetLastError(), c.Error) << Narrow(c.Url);
        EXPECT_EQ(request.Flags.load(), kRequestHeapOwned);
        EXPECT_TRUE(request.LocalPath.empty());
        EXPECT_FALSE(request.File);
    }
}

TEST(AttachLocalFile, RequestFreedBeforeItStartedTakesItsFileAlong) {
    const std::wstring folder = ScratchFolder(L"attach-free");
    auto request = MakePackageRequest(L"http://h/p/v.msi");
    ASSERT_TRUE(AttachLocalFile(*request, folder));
    const std::wstring path = request->LocalPath;
    request.reset();
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}
