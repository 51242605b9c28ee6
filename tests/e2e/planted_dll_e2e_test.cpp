// The program run from Downloads with DLLs planted beside it: it never runs one of them. One test,
// one start of the program.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "e2e/driver.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/registry_key.h"
#include "support/test_util.h"

namespace {

// Windows' DLLs that the program uses and that are not KnownDLLs.
constexpr const wchar_t* kPlanted[] = {L"version", L"wininet", L"msi", L"wintrust", L"crypt32"};
// Wine's switch to take a DLL of such a name from a program's folder before its own, as Windows
// would: WINEDLLOVERRIDES "version=n,b" for the copy of the program only (Wine hands no WINE*
// variable of a Windows process on to the programs it starts, so the registry's form is used).
constexpr wchar_t kOverridesKey[] = L"Software\\Wine\\AppDefaults\\ZIDezureziv.exe\\DllOverrides";

std::wstring DownloadsFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Start-up (WinINet), the About box (version.dll) and a package checked and refused (WinVerifyTrust,
// CryptoAPI, Windows Installer), in the copy of the program at program.
void StartShowVersionAndRefuseAPackage(const std::wstring& program) {
    CProgram run(L"", program);
    ASSERT_TRUE(run.Started());
    HWND main = run.WaitForDialog(L"ZIDezureziv");
    ASSERT_NE(main, nullptr);

    // The version comes from Windows' version.dll; the planted one would give none.
    ClickButton(main, IDM_ABOUT);
    HWND about = run.WaitForDialog(L"About ZIDezureziv");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ControlText(about, IDC_VERSION), L"ZIDezureziv Version 1.11");
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));

    // An unsigned package whose UpgradeCode is not Velonar's: asked about, then refused.
    ClickButton(FindPage(main, IDC_INSTALL), IDC_INSTALL);
    HWND open = run.WaitForDialog(L"Open Installer Package");
    ASSERT_NE(open, nullptr);
    const std::wstring package = fixtures::Path(L"velonar64-5.45.3-lowercase.msi");
    ChooseFile(open, package);
    for (const std::wstring& expected : {package + L": ", package + L" is not a Velonar installation package"}) {
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = run.FindMessageBox()) != nullptr; }));
        EXPECT_EQ(MessageBoxText(box).rfind(expected, 0), 0u) << Narrow(MessageBoxText(box));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }
    ClickButton(main, IDCANCEL);
    EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace

TEST(PlantedDll, NoneRunsInsideTheProgram) {
    const std::wstring folder = DownloadsFolder() + L"\\planted-dll-test";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring program = folder + L"\\ZIDezureziv.exe";
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), program.c_str(), FALSE));
    for (const wchar_t* name : kPlanted) {
        const std::wstring dll = folder + L"\\" + name + L".dll";
        DeleteFileW((dll + L".marker").c_str());
        ASSERT_TRUE(CopyFileW(WinePath(ZID_PLANTED_DLL_PATH).c_str(), dll.c_str(), FALSE));
    }

    TestRegistryKey preferPlanted(HKEY_CURRENT_USER, kOverridesKey);
    for (const wchar_t* name : kPlanted)
        preferPlanted.String(name, L"native,builtin");
    StartShowVersionAndRefuseAPackage(program);

    // Wine's own user32 imports version.dll, so there a planted one is loaded into every program
    // before its first instruction (Windows' user32 does not); the About box above shows that the
    // program itself does not use it.
    for (const wchar_t* name : kPlanted) {
        if (wcscmp(name, L"version") != 0) {
            EXPECT_FALSE(Exists(folder + L"\\" + name + L".dll.marker")) << Narrow(name) << ".dll was loaded";
        }
    }
}
