// Install, list, launch, repair and uninstall through the real program and Wine's Windows Installer.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <algorithm>

#include "e2e/driver.h"
#include "fixtures/fixture_files.h"
#include "resource.h"
#include "support/launch_recorder.h"
#include "support/test_util.h"

namespace zid {

namespace {

constexpr wchar_t kNewest[] = L"velonar64-5.46-signed.msi";
constexpr wchar_t kOlder[] = L"velonar64-5.30.2-signed.msi";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kPreferencesKey[] = L"Software\\Corrabel\\Velonar\\Uninstall";
constexpr DWORD kOperationTimeout = 120000;

bool IsInstalled(const std::wstring& productCode) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kUninstallKey + productCode).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// PreservePreferences under the Uninstall subkey, or -1 (no value), or -2 (no key).
long long PreservedValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPreferencesKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -2;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegQueryValueExW(key, L"PreservePreferences", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? static_cast<long long>(value) : -1;
}

void RemoveIfInstalled(const std::wstring& productCode) {
    if (IsInstalled(productCode)) {
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MsiConfigureProductW(productCode.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    }
}

int RowOf(const std::vector<std::wstring>& rows, const std::wstring& text) {
    const auto found = std::find(rows.begin(), rows.end(), text);
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

class Operations : public ::testing::Test {
protected:
    void SetUp() override {
        m_newest = fixtures::PackageInfo(kNewest).productCode;
        m_older = fixtures::PackageInfo(kOlder).productCode;
        ASSERT_FALSE(m_newest.empty()) << "fixtures missing";
        RemoveIfInstalled(m_newest);
        RemoveIfInstalled(m_older);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv");  // logging on
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corrabel");
        m_trace = ScratchFolder(L"trace") + L"\\velonar-started.txt";
    }
    void TearDown() override {
        RemoveIfInstalled(m_newest);
        RemoveIfInstalled(m_older);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corrabel");
    }
    std::wstring m_newest;
    std::wstring m_older;
    std::wstring m_trace;
};

}  // namespace

TEST_F(Operations, PackageRunThenListLaunchRepairAndUninstallThroughTheRealInstaller) {
    CLaunchRecorder recorder;
    EnvironmentOverride trace(L"ZID_VELONAR_TRACE", m_trace.c_str());

    // A package run installs and ends with the installer's result; its log is opened for the user.
    {
        CProgram run(L"\"" + fixtures::Path(kNewest) + L"\"");
        ASSERT_TRUE(run.Started());
        EXPECT_EQ(run.WaitForExit(kOperationTimeout), 0u);
    }
    EXPECT_TRUE(IsInstalled(m_newest));
    const std::vector<std::wstring> launches = recorder.WaitForLaunches(1);
    ASSERT_EQ(launches.size(), 1u);
    const size_t name = launches[0].find(L"\\VNI-");
    ASSERT_NE(name, std::wstring::npos) << Narrow(launches[0]);
    const std::wstring logPath = launches[0].substr(launches[0].find(L"\" file \"") + 8,
                                                    launches[0].size() - launches[0].find(L"\" file \"") - 9);
    const std::string log = ReadFileBytes(logPath);
    // Under Wine there is no report in front: the installer's own log is all there is.
    EXPECT_NE(log.find("Action start "), std::string::npos) << Narrow(logPath);
    EXPECT_NE(log.substr(0, 2), std::string("\xFF\xFE"));

    CProgram program(L"");
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForDialog(L"ZIDezureziv");
    ASSERT_NE(main, nullptr);
    HWND page = FindWindowExW(main, nullptr, L"#32770", nullptr);  // This PC, created first
    HWND list = GetDlgItem(page, IDC_LIST1);
    const auto rows = [&] { return ListColumnTexts(program.Process(), list, 0); };
    const auto paneHas = [&](const std::wstring& text) {
        return ControlText(main, IDC_LOG).find(text) != std::wstring::npos;
    };
    ASSERT_TRUE(WaitUntil([&] { return rows() == std::vector<std::wstring>{L"5.46 (64 bit)"}; }));
    EXPECT_EQ(ControlText(page, IDC_INSTALLED_GROUP), L"Installed Velonar Package (1)");

    // Install Package... with an older package: the conflict question, answered No.
    ClickButton(page, IDC_INSTALL);
    HWND open = program.WaitForDialog(L"Open Installer Package");
    ASSERT_NE(open, nullptr);
    ChooseFile(open, fixtures::Path(kOlder));
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (question = program.FindMessageBox()) != nullptr; }));
    EXPECT_EQ(MessageBoxText(question).rfind(L"Installing version 5.30.2 (64 bit):\r\n\r\nYou have a newer 64 bit", 0),
              0u)
        << Narrow(MessageBoxText(question));
    PostMessageW(question, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(WaitUntil([&] { return paneHas(L"Install 5.30.2 (64 bit): Exit code 0: "); }, kOperationTimeout))
        << Narrow(ControlText(main, IDC_LOG));
    ASSERT_TRUE(WaitUntil([&] { return rows().size() == 2; }));
    EXPECT_EQ(ControlText(page, IDC_INSTALLED_GROUP), L"Installed Velonar Packages (2)");

    // Launch runs the installed program.
    SelectListRow(program.Process(), list, RowOf(rows(), L"5.46 (64 bit)"));
    ClickButton(page, IDC_LAUNCH);
    EXPECT_TRUE(WaitUntil([&] {
        return ReadFileBytes(m_trace).find("\\Corrabel\\Velonar\\Velonar.exe") != std::string::npos;
    })) << ReadFileBytes(m_trace);

    // Repair; the window keeps answering while the installer works, with the main window disabled.
    ClickButton(page, IDC_REPAIR);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(main) || paneHas(L"Repair 5.46"); }));
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer), 0);
    ASSERT_TRUE(WaitUntil([&] { return paneHas(L"Repair 5.46 (64 bit): Exit code 0: "); }, kOperationTimeout));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));

    // Uninstall of 5.30.2 asks about the settings (KEEP offered); the answer lives only while it runs.
    SelectListRow(program.Process(), list, RowOf(rows(), L"5.30.2 (64 bit)"));
    ClickButton(page, IDC_UNINSTALL);
    HWND options = program.WaitForDialog(L"Uninstall - Velonar");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(SendDlgItemMessageW(options, IDC_KEEP_SETTINGS, BM_GETCHECK, 0, 0), BST_CHECKED);
    ClickButton(options, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return paneHas(L"Uninstall 5.30.2 (64 bit): Exit code 0: "); }, kOperationTimeout));
    EXPECT_EQ(PreservedValue(), -1);  // the value was there for the removal only; the key stays
    EXPECT_FALSE(IsInstalled(m_older));

    // A double click uninstalls too; 5.46 asks nothing.
    ASSERT_TRUE(WaitUntil([&] { return rows() == std::vector<std::wstring>{L"5.46 (64 bit)"}; }));
    DoubleClickListRow(program.Process(), list, 0);
    ASSERT_TRUE(WaitUntil([&] { return paneHas(L"Uninstall 5.46 (64 bit): Exit code 0: "); }, kOperationTimeout))
        << Narrow(ControlText(main, IDC_LOG));
    EXPECT_EQ(program.FindMessageBox(), nullptr);
    EXPECT_FALSE(IsInstalled(m_newest));
    EXPECT_TRUE(WaitUntil([&] { return ControlText(page, IDC_INSTALLED_GROUP) == L"Installed Velonar Package (0)"; }));

    ClickButton(main, IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace zid
