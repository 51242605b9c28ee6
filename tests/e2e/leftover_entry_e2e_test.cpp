// Leftover Programs and Features entries through the real program: out of the way of an install, and
// removed from the This PC page with a backup that Registry Editor imports back value for value.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <algorithm>

#include "e2e/driver.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/launch_recorder.h"
#include "support/test_util.h"
#include "win/handles.h"

namespace zid {

namespace {

using namespace std::literals;

// The entry's key under SOFTWARE as the 64-bit view names it.
std::wstring KeyPath(bool is64Bit) {
    return (is64Bit ? L""s : L"Wow6432Node\\"s) +
           L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\{0000E000-0000-0000-0000-00000000000A}";
}

// A leftover entry of Velonar 5.46, with values of each kind and a subkey.
void MakeLeftover(HKEY software, bool is64Bit) {
    UniqueHKey key, child;
    RegCreateKeyExW(software, KeyPath(is64Bit).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    RegCreateKeyExW(key.get(), L"Extra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, child.put(), nullptr);
    const std::tuple<HKEY, const wchar_t*, DWORD, std::string> values[] = {
        {key.get(), L"DisplayName", REG_SZ, Utf16LeBytes(u"Velonar\0"sv)},
        {key.get(), L"DisplayVersion", REG_SZ, Utf16LeBytes(u"5.46\0"sv)},
        {key.get(), L"UninstallString", REG_SZ,
         Utf16LeBytes(u"MsiExec.exe /X{0000E000-0000-0000-0000-00000000000A}\0"sv)},
        {key.get(), L"Path \"V\"", REG_EXPAND_SZ, Utf16LeBytes(u"%A%\\\"V\"\0"sv)},
        {key.get(), L"Lines", REG_MULTI_SZ, Utf16LeBytes(u"one\0two\0\0"sv)},
        {key.get(), L"Version", REG_DWORD, "\0\0\x2E\x05"s},
        {key.get(), L"Big", REG_QWORD, "\x01\x02\x03\x04\x05\x06\x07\x08"},
        {child.get(), L"", REG_BINARY, ""}};
    for (const auto& [where, name, type, bytes] : values)
        RegSetValueExW(where, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
}

// What "reg export" writes of the entry (named in the 64-bit view, whichever "reg" runs).
std::string Exported(bool is64Bit) {
    const std::wstring file = ScratchFolder(L"leftover") + L"\\exported.reg";
    CProgram(L"export \"HKLM\\SOFTWARE\\" + KeyPath(is64Bit) + L"\" \"" + file + L"\" /y /reg:64",
             L"C:\\windows\\system32\\reg.exe")
        .WaitForExit();
    return ReadFileBytes(file);
}

}  // namespace

TEST(LeftoverEntries, OutOfTheWayOfAnInstallThenRemovedWithABackupThatBringsThemBack) {
    const std::wstring product = fixtures::PackageInfo(L"velonar64-5.30.2-signed.msi").productCode;
    CLaunchRecorder recorder;  // the installer logs are opened with it
    UniqueHKey software;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, software.put());
    scope_exit cleanUp([&] {
        for (bool is64Bit : {true, false})
            RegDeleteTreeW(software.get(), KeyPath(is64Bit).c_str());
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MsiConfigureProductW(product.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    });
    const auto answer = [](const CProgram& program, WPARAM button) {
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = program.FindMessageBox()) != nullptr; }));
        EXPECT_NE(MessageBoxText(box).find(L"Remove the leftover entry from Programs and Features?"),
                  std::wstring::npos);
        PostMessageW(box, WM_COMMAND, button, 0);
    };
    // A leftover 5.46 is offered for removal before 5.30.2 of its build installs.
    MakeLeftover(software.get(), true);
    {
        CProgram run(L"\"" + fixtures::Path(L"velonar64-5.30.2-signed.msi") + L"\"");
        answer(run, IDYES);
        EXPECT_EQ(run.WaitForExit(120000), 0u);
    }
    EXPECT_EQ(Exported(true), "");
    ASSERT_EQ(MsiQueryProductStateW(product.c_str()), INSTALLSTATE_DEFAULT);

    CProgram program(L"");
    HWND main = program.WaitForDialog(L"ZIDezureziv");
    HWND page = FindWindowExW(main, nullptr, L"#32770", nullptr);  // This PC, created first
    const auto pane = [&] { return ControlText(main, IDC_LOG); };
    const auto choose = [&](const std::wstring& row, int button, const std::wstring& said) {
        ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
        ClickButton(page, IDC_REFRESH);
        const std::vector<std::wstring> rows = ListColumnTexts(program.Process(), GetDlgItem(page, IDC_LIST1), 0);
        SelectListRow(program.Process(), GetDlgItem(page, IDC_LIST1),
                      static_cast<int>(std::find(rows.begin(), rows.end(), row) - rows.begin()));
        ClickButton(page, button);
        if (button == IDC_UNINSTALL)
            answer(program, said.starts_with(L"Removed") ? IDYES : IDNO);
        ASSERT_TRUE(WaitUntil([&] { return pane().find(said) != std::wstring::npos; }, 120000)) << Narrow(pane());
    };
    // The genuine installation is repaired, not offered for removal.
    choose(L"5.30.2 (64 bit)", IDC_REPAIR, L"Repair 5.30.2 (64 bit): Exit code 0: ");
    for (bool is64Bit : {true, false}) {
        MakeLeftover(software.get(), is64Bit);
        const std::string before = Exported(is64Bit);
        ASSERT_NE(before.find(Utf16LeBytes(u"Extra]")), std::string::npos) << is64Bit;
        const std::wstring row = is64Bit ? L"5.46 (64 bit)" : L"5.46";
        choose(row, IDC_UNINSTALL, L"Leftover entry kept");
        EXPECT_EQ(Exported(is64Bit), before);
        choose(row, IDC_UNINSTALL, L"Removed the leftover entry HKEY_LOCAL_MACHINE\\SOFTWARE\\" + KeyPath(is64Bit));
        EXPECT_EQ(Exported(is64Bit), "");
        const std::wstring text = pane(), mark = L"bring it back: ";
        const size_t start = text.find(mark) + mark.size();
        const std::wstring backup = text.substr(start, text.find(L"\r\n", start) - start);
        {
            // The 64-bit Registry Editor, as a user of 64-bit Windows starts it: Wine hands a 32-bit
            // caller its 32-bit one unless told not to.
            PVOID redirection = nullptr;
            const BOOL redirected = Wow64DisableWow64FsRedirection(&redirection);
            CProgram(L"/s \"" + backup + L"\"", L"C:\\windows\\regedit.exe").WaitForExit();
            if (redirected)
                Wow64RevertWow64FsRedirection(redirection);
        }
        EXPECT_EQ(Exported(is64Bit), before) << Narrow(backup);
        DeleteFileW(backup.c_str());
    }
    ClickButton(main, IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace zid
