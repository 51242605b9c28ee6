// What guards the program against hostile surroundings: GUIDs checked before they reach the
// installer, new files only, folders that no other user prepared. (DLLs from System32: e2e tests.)
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include "support/test_util.h"
#include "win/file_io.h"
#include "win/folder_trust.h"
#include "win/untrusted_text.h"

namespace zid {

TEST(UntrustedText, OnlyExactlyOneBracedGuidPasses) {
    EXPECT_TRUE(IsBracedGuid(L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13}"));
    EXPECT_TRUE(IsBracedGuid(L"{6a3d1e57-2c9b-4f0e-8d71-b5c2e9047a13}"));
    for (const wchar_t* text : {L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13} REBOOT=Force", L"", L"{6A3D1E57-2C9B}",
                                L"6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13", L"{6A3D1E57-2C9B-4F0E-8D71B-5C2E9047A13}",
                                L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A1G}"})
        EXPECT_FALSE(IsBracedGuid(text)) << Narrow(text);
}

// Whatever would reorder, hide or break what support staff read becomes "?"; visible text stays.
TEST(UntrustedText, HiddenCharactersAreShownAsQuestionMarks) {
    const struct {
        std::wstring text, shown;
    } cases[] = {
        {L"a\r\nb\tc", L"a??b?c"},
        {L"evil\u202Eisl.msi", L"evil?isl.msi"},       // right-to-left override
        {L"x\u2066y\u2069\u200Ez\u061C", L"x?y??z?"},  // isolates and marks
        {L"\u0085next\u009Bline", L"?next?line"},      // C1 controls
        {L"zero\u200Bwidth\u2060joiner\uFEFF", L"zero?width?joiner?"},
        {L"line\u2028para\u2029", L"line?para?"},
        {L"tag\U000E0041\U000E007F", L"tag??"},  // tag characters, pairs of their own
        {L"5.45.3 \u00E9\u4E2D\U0001F600", L"5.45.3 \u00E9\u4E2D\U0001F600"},
        {std::wstring(L"lone") + wchar_t(0xD83D) + L"high" + wchar_t(0xDE00), L"lone?high?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.shown));
        EXPECT_EQ(ShownText(c.text), c.shown);
        EXPECT_EQ(ShownValue(c.text), c.shown);
    }
    EXPECT_EQ(ShownValue(std::wstring(70, L'x')), std::wstring(60, L'x') + L"...");
    // A pair that would straddle the 60th unit is left out whole, never cut in two.
    const std::wstring straddling = std::wstring(59, L'x') + L"\U0001F600" + L"tail";
    EXPECT_EQ(ShownValue(straddling), std::wstring(59, L'x') + L"...");
    EXPECT_EQ(ShownValue(std::wstring(58, L'x') + L"\U0001F600"), std::wstring(58, L'x') + L"\U0001F600");
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

// The shared download folder: made private, and a folder whose permissions let others put files into
// it (or, for its parent, replace what is below it) is not taken.
TEST(FolderTrust, PrivateFoldersOnly) {
    const std::wstring folder = ScratchFolder(L"private-folder") + L"\\Velonar";
    ASSERT_EQ(CreatePrivateFolder(folder), 0u);
    EXPECT_EQ(CreatePrivateFolder(folder), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(IsPrivateFolder(folder, kOthersMayNotFill));

    // Users may add files (as ProgramData lets them by default): no place for a download, but no way
    // to replace the folder either.
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(users);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &size));
    EXPLICIT_ACCESSW add{};
    add.grfAccessPermissions = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
    add.grfAccessMode = GRANT_ACCESS;
    add.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    add.Trustee.ptstrName = reinterpret_cast<LPWSTR>(users);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &descriptor),
              0u);
    PACL widened = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &add, dacl, &widened), 0u);
    SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, widened, nullptr);
    LocalFree(widened);
    LocalFree(descriptor);
    if (IsPrivateFolder(folder, kOthersMayNotFill))
        GTEST_SKIP() << "this system keeps no permissions of files";
    EXPECT_TRUE(IsPrivateFolder(folder, kOthersMayNotReplace));
}

// The end of a large log, aligned for its two-byte characters, with its start (the byte-order mark).
TEST(FileHeadAndTail, ShortFilesWholeLongOnesByTheirEnds) {
    const std::wstring path = ScratchFolder(L"head-and-tail") + L"\\log.txt";
    ASSERT_TRUE(WriteFileBytes(path, "BOabcdefghijklmnopqr"));
    const struct {
        size_t Head, Tail;
        std::string Bytes;
    } cases[] = {
        {2, 18, "BOabcdefghijklmnopqr"},
        {2, 100, "BOabcdefghijklmnopqr"},
        {2, 6, "BOmnopqr"},
        {2, 5, "BOmnopqr"},  // from an even offset: one byte more
        {0, 4, "opqr"},
    };
    for (const auto& c : cases) {
        std::string bytes = "left alone";
        EXPECT_EQ(ReadFileHeadAndTail(path, c.Head, c.Tail, bytes), 0u);
        EXPECT_EQ(bytes, c.Bytes) << c.Head << " " << c.Tail;
    }
    std::string untouched = "left alone";
    EXPECT_EQ(ReadFileHeadAndTail(path + L".missing", 2, 4, untouched), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(untouched, "left alone");
}

}  // namespace zid
