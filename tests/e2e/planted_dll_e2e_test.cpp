// The program run from Downloads with DLLs planted beside it never runs one of them.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "e2e/driver.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/registry_key.h"
#include "support/test_util.h"

namespace zid {

namespace {

// Windows' DLLs that the program uses and that are not KnownDLLs.
constexpr const wchar_t* kPlanted[] = {L"version", L"wininet", L"msi", L"wintrust", L"crypt32"};
// Wine's switch to take such a DLL from a program's folder before its own, as Windows would
// (WINEDLLOVERRIDES "version=n,b", but Wine hands no WINE* variable on to the programs it starts).
constexpr wchar_t kOverridesKey[] = L"Software\\Wine\\AppDefaults\\ZIDezureziv.exe\\DllOverrides";

// Start-up (WinINet), the About box (version.dll) and a package checked and refused (WinVerifyTrust,
// CryptoAPI, Windows Installer) in the copy of the program at path: one start of it.
void StartShowVersionAndRefuseAPackage(const std::wstring& path) {
    CProgram program(L"", path);
    HWND main = program.WaitForDialog(L"ZIDezureziv");
    ASSERT_NE(main, nullptr);
    ClickButton(main, IDM_ABOUT);
    HWND about = program.WaitForDialog(L"About ZIDezureziv");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ControlText(about, IDC_VERSION), L"ZIDezureziv Version 1.11");  // from System32's version.dll
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));

    ClickButton(FindPage(main, IDC_INSTALL), IDC_INSTALL);
    HWND open = program.WaitForDialog(L"Open Installer Package");
    ASSERT_NE(open, nullptr);
    const std::wstring package = fixtures::Path(L"velonar64-5.45.3-lowercase.msi");  // unsigned, not Velonar's
    ChooseFile(open, package);
    for (const std::wstring& expected : {package + L": ", package + L" is not a Velonar installation package"}) {
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = program.FindMessageBox()) != nullptr; }));
        EXPECT_EQ(MessageBoxText(box).rfind(expected, 0), 0u) << Narrow(MessageBoxText(box));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }
    ClickButton(main, IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace

TEST(PlantedDll, NoneRunsInsideTheProgram) {
    PWSTR downloads = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &downloads), S_OK);
    const std::wstring folder = std::wstring(downloads) + L"\\planted-dll-test\\";
    CoTaskMemFree(downloads);
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), (folder + L"ZIDezureziv.exe").c_str(), FALSE));
    TestRegistryKey preferPlanted(HKEY_CURRENT_USER, kOverridesKey);
    for (const wchar_t* name : kPlanted) {
        DeleteFileW((folder + name + L".dll.marker").c_str());
        ASSERT_TRUE(CopyFileW(WinePath(ZID_PLANTED_DLL_PATH).c_str(), (folder + name + L".dll").c_str(), FALSE));
        preferPlanted.String(name, L"native,builtin");
    }
    StartShowVersionAndRefuseAPackage(folder + L"ZIDezureziv.exe");

    // Wine's own user32 imports version.dll, so there a planted one is in every program before its
    // first instruction (Windows' user32 does not); the About box shows the program does not use it.
    for (const wchar_t* name : kPlanted) {
        if (wcscmp(name, L"version") != 0) {
            EXPECT_EQ(GetFileAttributesW((folder + name + L".dll.marker").c_str()), INVALID_FILE_ATTRIBUTES)
                << Narrow(name) << ".dll was loaded";
        }
    }
}

}  // namespace zid
