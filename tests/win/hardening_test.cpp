// What guards the program against hostile surroundings: DLLs from System32 only, GUIDs checked
// before they reach the installer, new files only, folders that no other user prepared.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/test_util.h"
#include "win/file_io.h"
#include "win/folder_trust.h"
#include "win/handles.h"
#include "win/system_library.h"
#include "win/untrusted_text.h"

TEST(UntrustedText, OnlyExactlyOneBracedGuidPasses) {
    const struct {
        const wchar_t* text;
        bool guid;
    } cases[] = {
        {L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13}", true},
        {L"{6a3d1e57-2c9b-4f0e-8d71-b5c2e9047a13}", true},
        {L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13} REBOOT=Force", false},
        {L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A1 }", false},
        {L"6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A13", false},
        {L"{6A3D1E57-2C9B-4F0E-8D71B-5C2E9047A13}", false},
        {L"{6A3D1E57-2C9B-4F0E-8D71-B5C2E9047A1G}", false},
        {L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsBracedGuid(c.text), c.guid) << Narrow(c.text);
    EXPECT_EQ(ShownValue(L"a\r\nb\tc"), L"a??b?c");
    EXPECT_EQ(ShownValue(std::wstring(70, L'x')), std::wstring(60, L'x') + L"...");
}

TEST(SystemLibrary, ComesFromSystem32ByItsFullPath) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    for (const wchar_t* name : {L"wininet.dll", L"msi.dll"}) {
        zid::UniqueModule module(LoadSystemLibrary(name));
        ASSERT_TRUE(module) << Narrow(name);
        wchar_t path[MAX_PATH] = L"";
        GetModuleFileNameW(module.get(), path, MAX_PATH);
        EXPECT_EQ(_wcsicmp(path, (std::wstring(system, length) + L"\\" + name).c_str()), 0) << Narrow(path);
    }
    EXPECT_FALSE(zid::UniqueModule(LoadSystemLibrary(L"no-such-library.dll")));
}

// A summary file (or a link) that is already there by its name is neither replaced nor written through.
TEST(NewFile, IsWrittenOnlyWhereNothingIsYet) {
    const std::wstring path = ScratchFolder(L"new-file") + L"\\summary.txt";
    EXPECT_EQ(WriteNewFile(path, "first"), 0u);
    EXPECT_EQ(WriteNewFile(path, "second"), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadFileBytes(path), "first");
}

// Links and folders of other owners are passed over too (the download folder's test); Wine creates
// neither, so what it can check is here.
TEST(FolderTrust, OnlyFolders) {
    const std::wstring folder = ScratchFolder(L"folder-trust");
    EXPECT_TRUE(IsTrustedFolder(folder));
    EXPECT_FALSE(IsTrustedFolder(folder + L"\\missing"));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\file", ""));
    EXPECT_FALSE(IsTrustedFolder(folder + L"\\file"));
}
