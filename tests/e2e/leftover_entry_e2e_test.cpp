// Leftover Programs and Features entries through the real program: removed from the This PC page
// with a backup that Registry Editor imports back value for value, and out of the way of an install.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <algorithm>
#include <set>

#include "e2e/driver.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/launch_recorder.h"
#include "support/test_util.h"
#include "win/handles.h"

namespace zid {

namespace {

constexpr wchar_t kLeftover[] = L"{0000E000-0000-0000-0000-00000000000A}";
constexpr wchar_t kPackage[] = L"velonar64-5.30.2-signed.msi";
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kUninstall32[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr DWORD kOperationTimeout = 120000;

// The entry's key in the 64-bit view as both views' entries are named there.
std::wstring KeyPath(bool is64Bit) {
    return (is64Bit ? kUninstall : kUninstall32) + std::wstring(kLeftover);
}

bool KeyExists(bool is64Bit) {
    UniqueHKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(is64Bit).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.put()) ==
           ERROR_SUCCESS;
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, size_t size) {
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

// A leftover entry of Velonar 5.46 with values of every type and a subkey; removed when destroyed.
class LeftoverKey {
public:
    explicit LeftoverKey(bool is64Bit) : m_is64Bit(is64Bit) {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyPath(is64Bit).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        nullptr, m_key.put(), nullptr);
        const auto text = [&](const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
            SetValue(m_key.get(), name, type, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
        };
        text(L"DisplayName", L"Velonar");
        text(L"DisplayVersion", L"5.46");
        text(L"UninstallString", std::wstring(L"MsiExec.exe /X") + kLeftover);
        text(L"Publisher", L"Corrabel \"Velonar\" \\ 5");
        text(L"InstallLocation", L"%ProgramFiles%\\Corrabel\\Velonar\\", REG_EXPAND_SZ);
        const DWORD version = 0x052E0000;
        SetValue(m_key.get(), L"Version", REG_DWORD, &version, sizeof(version));
        const ULONGLONG big = 0x0102030405060708ULL;
        SetValue(m_key.get(), L"Big", REG_QWORD, &big, sizeof(big));
        const wchar_t lines[] = L"one\0two\0";
        SetValue(m_key.get(), L"Lines", REG_MULTI_SZ, lines, sizeof(lines));
        const BYTE blob[40] = {0xFF, 0x00, 0x7F};
        SetValue(m_key.get(), L"Blob", REG_BINARY, blob, sizeof(blob));
        SetValue(m_key.get(), L"Nothing", REG_BINARY, nullptr, 0);
        text(L"", L"default");
        UniqueHKey child;
        RegCreateKeyExW(m_key.get(), L"Extra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, child.put(), nullptr);
        text(L"Comments", L"");
        SetValue(child.get(), L"Kept", REG_DWORD, &version, sizeof(version));
    }
    ~LeftoverKey() {
        m_key.reset();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, KeyPath(m_is64Bit).c_str());
    }
    LeftoverKey(const LeftoverKey&) = delete;
    LeftoverKey& operator=(const LeftoverKey&) = delete;

private:
    bool m_is64Bit;
    UniqueHKey m_key;
};

// Runs commandLine; its exit code, and what it wrote to its output in output.
DWORD RunCommand(std::wstring commandLine, std::string* output = nullptr) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return GetLastError();
    UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return GetLastError();
    UniqueHandle thread(process.hThread);
    UniqueHandle child(process.hProcess);
    writer.reset();
    std::string text;
    char buffer[4096];
    for (DWORD got = 0; ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0;)
        text.append(buffer, got);
    WaitForSingleObject(child.get(), 60000);
    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    if (output)
        *output = text;
    return code;
}

// What "reg query" lists of the entry and everything below it.
std::string RegQuery(bool is64Bit) {
    std::string output;
    RunCommand(L"reg.exe query \"HKLM\\" + KeyPath(is64Bit) + L"\" /s /reg:64", &output);
    return output;
}

std::wstring RegistryEditor() {
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\regedit.exe";  // the 64-bit one: the Windows folder is not redirected
}

std::set<std::wstring> Backups() {
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    std::set<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((std::wstring(temp) + L"VNI-*-entry.reg").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return found;
    do {
        found.insert(std::wstring(temp) + data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

void RemoveProduct(const std::wstring& productCode) {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MsiConfigureProductW(productCode.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
}

int RowOf(const std::vector<std::wstring>& rows, const std::wstring& text) {
    const auto found = std::find(rows.begin(), rows.end(), text);
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

class LeftoverEntries : public ::testing::Test {
protected:
    void SetUp() override {
        m_product = fixtures::PackageInfo(kPackage).productCode;
        ASSERT_FALSE(m_product.empty()) << "fixtures missing";
        RemoveProduct(m_product);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv");
        m_backups = Backups();
    }
    void TearDown() override {
        RemoveProduct(m_product);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corrabel");
        for (const std::wstring& backup : Backups()) {
            if (!m_backups.count(backup))
                DeleteFileW(backup.c_str());
        }
    }
    std::wstring m_product;
    std::set<std::wstring> m_backups;
};

}  // namespace

TEST_F(LeftoverEntries, UninstallOnTheRowRemovesTheEntryAndItsBackupBringsItBack) {
    CLaunchRecorder recorder;  // the repair's log is opened with it
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ASSERT_EQ(MsiInstallProductW(fixtures::Path(kPackage).c_str(), L"ALLUSERS=1"), 0u);
    LeftoverKey x64(true);
    LeftoverKey x86(false);
    const std::string before[] = {RegQuery(false), RegQuery(true)};
    ASSERT_NE(before[1].find("Velonar"), std::string::npos) << before[1];

    CProgram program(L"");
    HWND main = program.WaitForDialog(L"ZIDezureziv");
    ASSERT_NE(main, nullptr);
    HWND page = FindWindowExW(main, nullptr, L"#32770", nullptr);  // This PC, created first
    HWND list = GetDlgItem(page, IDC_LIST1);
    const auto rows = [&] { return ListColumnTexts(program.Process(), list, 0); };
    const auto pane = [&] { return ControlText(main, IDC_LOG); };
    const auto paneHas = [&](const std::wstring& text) { return pane().find(text) != std::wstring::npos; };
    ASSERT_TRUE(WaitUntil([&] { return rows().size() == 3; }));

    // A genuine installation is repaired, not offered for removal.
    SelectListRow(program.Process(), list, RowOf(rows(), L"5.30.2 (64 bit)"));
    ClickButton(page, IDC_REPAIR);
    ASSERT_TRUE(WaitUntil([&] { return paneHas(L"Repair 5.30.2 (64 bit): Exit code 0: "); }, kOperationTimeout))
        << Narrow(pane());
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));

    for (bool is64Bit : {true, false}) {
        SCOPED_TRACE(is64Bit);
        const std::wstring row = is64Bit ? L"5.46 (64 bit)" : L"5.46";
        const auto answer = [&](WPARAM button) {
            ASSERT_TRUE(WaitUntil([&] { return RowOf(rows(), row) >= 0; }));
            SelectListRow(program.Process(), list, RowOf(rows(), row));
            ClickButton(page, IDC_UNINSTALL);
            HWND question = nullptr;
            ASSERT_TRUE(WaitUntil([&] { return (question = program.FindMessageBox()) != nullptr; }));
            EXPECT_NE(MessageBoxText(question).find(L"Remove the leftover entry from Programs and Features?"),
                      std::wstring::npos)
                << Narrow(MessageBoxText(question));
            PostMessageW(question, WM_COMMAND, button, 0);
        };
        answer(IDNO);
        ASSERT_TRUE(WaitUntil([&] { return paneHas(L"Leftover entry kept"); })) << Narrow(pane());
        EXPECT_EQ(RegQuery(is64Bit), before[is64Bit]);

        answer(IDYES);
        ASSERT_TRUE(WaitUntil([&] {
            return paneHas(L"Removed the leftover entry HKEY_LOCAL_MACHINE\\" + KeyPath(is64Bit));
        })) << Narrow(pane());
        EXPECT_FALSE(KeyExists(is64Bit));
        EXPECT_TRUE(WaitUntil([&] { return RowOf(rows(), row) < 0; }));
        const std::wstring text = pane();
        const size_t mark = text.find(L"bring it back: ");
        ASSERT_NE(mark, std::wstring::npos);
        const std::wstring backup = text.substr(mark + 15, text.find(L"\r\n", mark) - mark - 15);
        ASSERT_TRUE(FileExists(backup)) << Narrow(backup);
        EXPECT_TRUE(backup.ends_with(L"-entry.reg"));

        EXPECT_EQ(RunCommand(L"\"" + RegistryEditor() + L"\" /s \"" + backup + L"\""), 0u);
        EXPECT_EQ(RegQuery(is64Bit), before[is64Bit]);
    }
    EXPECT_EQ(program.FindMessageBox(), nullptr);
    ClickButton(main, IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST_F(LeftoverEntries, LeftoverOfANewerVersionIsOfferedForRemovalAndTheInstallGoesOn) {
    CLaunchRecorder recorder;
    LeftoverKey x64(true);
    CProgram run(L"\"" + fixtures::Path(kPackage) + L"\"");
    ASSERT_TRUE(run.Started());
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (question = run.FindMessageBox()) != nullptr; }));
    EXPECT_NE(MessageBoxText(question).find(L"Remove the leftover entry"), std::wstring::npos)
        << Narrow(MessageBoxText(question));
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(run.WaitForExit(kOperationTimeout), 0u);
    EXPECT_FALSE(KeyExists(true));
    EXPECT_EQ(MsiQueryProductStateW(m_product.c_str()), INSTALLSTATE_DEFAULT);
    EXPECT_EQ(Backups().size(), m_backups.size() + 1);
}

}  // namespace zid
