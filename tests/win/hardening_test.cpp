// What guards the program against hostile surroundings: GUIDs checked before they reach the
// installer, new files only, folders that no other user prepared. (DLLs from System32: e2e tests.)
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include "support/test_util.h"
#include "win/file_io.h"
#include "win/folder_trust.h"
#include "win/untrusted_text.h"

TEST(UntrustedText, OnlyExactlyOneBracedGuidPasses) {
    EXPECT_TRUE(IsBracedGuid(L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13}"));
    EXPECT_TRUE(IsBracedGuid(L"{6a3d1e57-2c9b-4f0e-8d71-b5c2e9047a13}"));
    for (const wchar_t* text : {L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13} REBOOT=Force", L"", L"{6A3D1E57-2C9B}",
                                L"6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13", L"{6A3D1E57-2C9B-4F0E-8D71B-5C2E9047A13}",
                                L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A1G}"})
        EXPECT_FALSE(IsBracedGuid(text)) << Narrow(text);
    EXPECT_EQ(ShownValue(L"a\r\nb"), L"a??b");
    EXPECT_EQ(ShownValue(std::wstring(70, L'x')), std::wstring(60, L'x') + L"...");
}

// A summary file (or a link) already there by its name is neither replaced nor written through.
TEST(NewFile, IsWrittenOnlyWhereNothingIsYet) {
    const std::wstring path = ScratchFolder(L"new-file") + L"\\summary.txt";
    EXPECT_EQ(WriteNewFile(path, "first"), 0u);
    EXPECT_EQ(WriteNewFile(path, "second"), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadFileBytes(path), "first");
}

// A folder another user made first is theirs (here: the Guests group's). Wine keeps no owners of
// files (nor makes links), so there only the plain cases run.
TEST(FolderTrust, OwnFoldersOnly) {
    const std::wstring folder = ScratchFolder(L"folder-trust");
    EXPECT_TRUE(IsTrustedFolder(folder));
    EXPECT_FALSE(IsTrustedFolder(folder + L"\\missing"));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\file", ""));
    EXPECT_FALSE(IsTrustedFolder(folder + L"\\file"));

    BYTE guests[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(guests);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinGuestsSid, nullptr, guests, &size));
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, guests,
                          nullptr, nullptr, nullptr);
    GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor);
    const bool kept = owner && EqualSid(owner, guests);
    LocalFree(descriptor);
    if (!kept)
        GTEST_SKIP() << "this system keeps no owners of files";
    EXPECT_FALSE(IsTrustedFolder(folder));
}
